// A stream over bytes in memory for the loader tests: hands out at most
// `chunk` bytes per read and counts reads and closes.
#pragma once

#include <cstring>
#include <utility>
#include <vector>

#include "stream.h"

struct MemoryStream {
  OM_Stream stream;  // its data points back here
  std::vector<u8> bytes;
  reg position = 0;
  reg chunk = 1u << 30;
  int reads = 0;
  int reads_after_end = 0;
  int closes = 0;

  static reg Read(OM_Stream* self, void* buffer, reg size) {
    MemoryStream* m = static_cast<MemoryStream*>(self->data);
    ++m->reads;
    reg left = m->bytes.size() - m->position;
    reg n = size < left ? size : left;
    if (n > m->chunk) n = m->chunk;
    if (n == 0) ++m->reads_after_end;
    if (n) memcpy(buffer, m->bytes.data() + m->position, n);
    m->position += n;
    return n;
  }
  static void Close(OM_Stream* self) { ++static_cast<MemoryStream*>(self->data)->closes; }

  OM_Stream_VTable table = {Close, Read, nullptr, nullptr};

  explicit MemoryStream(std::vector<u8> b, reg per_read = 1u << 30)
      : bytes(std::move(b)), chunk(per_read) {
    stream.flags = 0;
    stream.data = this;
    stream.vTable = &table;
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  OM_Stream* get() { return &stream; }
  bool at_end() const { return position == bytes.size(); }
};

// The whole content of a res:// resource, or nothing when it does not open.
inline std::vector<u8> ReadResource(const char* path) {
  std::vector<u8> out;
  OM_Stream* s = OM_OpenStream(path, OM_STREAM_READ);
  if (!s) return out;
  u8 buffer[4096];
  for (reg n; (n = s->vTable->Read(s, buffer, sizeof buffer)) != 0;) {
    out.insert(out.end(), buffer, buffer + n);
  }
  OM_ReleaseStream(s);
  return out;
}
