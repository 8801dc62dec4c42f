// The Windows host's globals for the test guard (scene_support.h).
#include <shlobj.h>

#include <algorithm>

#include "scene_support.h"
#include "system.h"

const GlobalSpan kHostGlobals[] = {
    {&event, sizeof event},
    {&fb, sizeof fb},
    {&OM_Host_Target, sizeof OM_Host_Target},
    {&bmi, sizeof bmi},
};
const reg kHostGlobalCount = sizeof kHostGlobals / sizeof kHostGlobals[0];

// A drop as the shell hands it over: a DROPFILES block with wide names,
// delivered to the window procedure, which releases the block.
void HostDrop(const std::vector<std::string>& paths) {
  std::vector<std::wstring> names;
  reg chars = 1;
  for (const std::string& p : paths) {
    std::wstring wide(p.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, p.c_str(), -1, wide.data(), int(wide.size()));
    wide.resize(n > 0 ? reg(n - 1) : 0);
    chars += wide.size() + 1;
    names.push_back(wide);
  }
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* files = static_cast<DROPFILES*>(GlobalLock(block));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  auto* at = reinterpret_cast<wchar_t*>(files + 1);
  for (const std::wstring& n : names) at = std::copy(n.begin(), n.end(), at) + 1;
  GlobalUnlock(block);
  OM_WndProc(nullptr, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}
