// A stream over bytes in memory for the loader tests.
//
// It hands out at most `chunk` bytes per read and counts the reads at the
// end and the closes.
#pragma once

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "stream.h"

struct MemoryStream {
  OM_Stream stream;
  std::vector<u8> bytes;
  reg position = 0, chunk;
  int reads_at_end = 0, closes = 0;

  static reg Read(OM_Stream* self, void* buffer, reg size) {
    MemoryStream* m = static_cast<MemoryStream*>(self->data);
    reg n = std::min({size, m->bytes.size() - m->position, m->chunk});
    if (n == 0) m->reads_at_end++;
    if (n) memcpy(buffer, m->bytes.data() + m->position, n);
    m->position += n;
    return n;
  }
  static void Close(OM_Stream* self) { static_cast<MemoryStream*>(self->data)->closes++; }
  OM_Stream_VTable table = {Close, Read, nullptr, nullptr};

  explicit MemoryStream(std::vector<u8> b, reg per_read = ~reg(0))
      : stream{0, this, &table}, bytes(std::move(b)), chunk(per_read) {}
  MemoryStream(const MemoryStream&) = delete;
  OM_Stream* get() { return &stream; }
};

// The whole content of a res:// resource, or nothing when it does not open.
inline std::vector<u8> ReadResource(const char* path) {
  std::vector<u8> out;
  OM_Stream* s = OM_OpenStream(path, OM_STREAM_READ);
  u8 buffer[4096];
  for (reg n; s && (n = s->vTable->Read(s, buffer, sizeof buffer)) != 0;)
    out.insert(out.end(), buffer, buffer + n);
  OM_ReleaseStream(s);
  return out;
}
