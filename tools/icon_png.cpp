// Writes the program's icon as a PNG for the desktop's icon theme: the .ico
// decoded the way the Linux window decodes it, so that the menu shows what
// the window shows, centred on a transparent square of the theme's size.
//
//   om_icon_png <icon.ico> <size> <out.png>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "surface.h"
#include "system.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

void append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  out->insert(out->end(), static_cast<unsigned char*>(data),
              static_cast<unsigned char*>(data) + size);
}

}  // namespace

int main(int argc, char** argv) {
  int size = argc == 4 ? atoi(argv[2]) : 0;
  if (size <= 0 || size > 1024) {
    fprintf(stderr, "usage: %s <icon.ico> <size> <out.png>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<u8> ico((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  OM_Surface* icon = OM_Host_DecodeIcon(ico.data(), ico.size());
  if (!icon || icon->w > size || icon->h > size) {
    fprintf(stderr, "%s: no icon of at most %d x %d pixels\n", argv[1], size, size);
    return 1;
  }
  // RGBA rows; an odd margin puts the extra pixel right and below.
  std::vector<unsigned char> rgba(static_cast<reg>(size) * size * 4, 0);
  const int left = (size - icon->w) / 2, top = (size - icon->h) / 2;
  for (int y = 0; y < icon->h; y++)
    for (int x = 0; x < icon->w; x++) {
      u32 argb = icon->data[x + icon->step * y];
      unsigned char* px = &rgba[(static_cast<reg>(top + y) * size + left + x) * 4];
      px[0] = argb >> 16 & 0xFF, px[1] = argb >> 8 & 0xFF, px[2] = argb & 0xFF, px[3] = argb >> 24;
    }
  OM_DestroySurface(icon);
  std::vector<unsigned char> png;
  if (!stbi_write_png_to_func(append, &png, size, size, 4, rgba.data(), size * 4)) return 1;
  // Written aside and renamed: the build never sees half a file.
  std::string temp = std::string(argv[3]) + ".tmp";
  std::ofstream out(temp, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  out.close();
  if (!out || rename(temp.c_str(), argv[3]) != 0) {
    fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
