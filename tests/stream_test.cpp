// Streams: embedded resources read in any pieces, and files that are never created or cut.
#include "stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "memory_stream.h"

namespace {

TEST(ResourceStream, EveryResourceYieldsExactlyItsBytesOverAnyReadsThenZero) {
  const std::pair<const char*, reg> resources[] = {
      {"res://FNT_IBM", 2056},         {"res://OWD_DEVELOPMENT", 76},
      {"res://TEX_CWHITEWASH", 16522}, {"res://TEX_FCONCRETE", 5174},
      {"res://TEX_WBRICKS", 16522},    {"res://TEX_WDUMMY", 16522},
      {"res://TEX_WWHITEWASH", 16522}};
  for (const auto& [path, size] : resources) {
    std::vector<u8> whole = ReadResource(path), pieces;
    EXPECT_EQ(whole.size(), size) << path;
    OM_Stream* s = OM_OpenStream(path, OM_STREAM_READ);
    ASSERT_NE(s, nullptr) << path;
    EXPECT_EQ(s->vTable, &OM_Stream_Resource_VTable);
    u8 buffer[128];
    for (reg ask = 1, n; (n = s->vTable->Read(s, buffer, ask)) != 0; ask = ask % 61 + 7) {
      EXPECT_LE(n, ask);
      pieces.insert(pieces.end(), buffer, buffer + n);
    }
    EXPECT_EQ(pieces, whole) << path;
    EXPECT_EQ(s->vTable->Read(s, buffer, sizeof buffer), 0u);
    OM_ReleaseStream(s);
  }
  // Windows' lookup ignores case; both builds must agree.
  EXPECT_EQ(ReadResource("res://fnt_ibm").size(), 2056u);
}

TEST(ResourceStream, ReadOfZeroAndPastTheEnd) {
  OM_Stream* s = OM_OpenStream("res://TEX_FCONCRETE", OM_STREAM_READ);
  ASSERT_NE(s, nullptr);
  std::vector<u8> buffer(8192, 0xAA);
  EXPECT_EQ(s->vTable->Read(s, buffer.data(), 0), 0u);
  EXPECT_EQ(buffer[0], 0xAA);
  EXPECT_EQ(s->vTable->Read(s, buffer.data(), buffer.size()), 5174u);
  EXPECT_EQ(buffer[0], 'B');  // the read of 0 did not move the position
  EXPECT_EQ(buffer[1], 'M');
  EXPECT_EQ(s->vTable->Read(s, buffer.data(), buffer.size()), 0u);
  OM_ReleaseStream(s);
}

TEST(OpenStream, UnknownSchemesMissingNamesAndShortPathsGiveNull) {
  for (const char* path :
       {"", "r", "re", "res", "res:", "res:/", "res://", "res://NOPE", "res://FNT_IB", "file",
        "file:", "file:/", "http://FNT_IBM", "RES://FNT_IBM", "FNT_IBM", "res://FNT_IBM/"}) {
    // Held in a block of exactly its size: the sanitizers see a read past it.
    std::unique_ptr<char[]> p(new char[strlen(path) + 1]);
    memcpy(p.get(), path, strlen(path) + 1);
    for (OM_Stream_Flags f : {OM_STREAM_READ, OM_STREAM_WRITE, OM_STREAM_SEEK})
      EXPECT_EQ(OM_OpenStream(p.get(), f), nullptr) << path << " " << f;
  }
  EXPECT_EQ(OM_OpenStream(nullptr, OM_STREAM_READ), nullptr);
  OM_ReleaseStream(nullptr);
}

// Files open only when they exist, are never created, and are written
// in place. Each test has its own file: CTest may run them side by side.
TEST(FileStream, MissingFilesAreNeverCreatedExistingOnesNotTruncated) {
  std::remove("om_stream_missing.tmp");
  for (int f : {OM_STREAM_READ, OM_STREAM_WRITE, OM_STREAM_SEEK})
    EXPECT_EQ(OM_OpenStream("file://om_stream_missing.tmp", OM_Stream_Flags(f)), nullptr);
  EXPECT_EQ(std::fopen("om_stream_missing.tmp", "rb"), nullptr);
  EXPECT_EQ(OM_OpenStream("file://.", OM_STREAM_READ), nullptr);  // a directory

  FILE* f = std::fopen("om_stream_file.tmp", "wb");
  std::fputs("0123456789", f);
  std::fclose(f);
  OM_Stream* s = OM_OpenStream("file://om_stream_file.tmp", OM_STREAM_WRITE);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->vTable, &OM_Stream_File_VTable);
  EXPECT_EQ(s->vTable->Write(s, const_cast<char*>("abc"), 3), 3u);
  char text[16] = {};
  EXPECT_EQ(s->vTable->Read(s, text, 1), 0u);  // write access only
  OM_ReleaseStream(s);
  s = OM_OpenStream("file://om_stream_file.tmp", OM_STREAM_READ);
  EXPECT_EQ(s->vTable->Read(s, text, 4), 4u);
  EXPECT_EQ(s->vTable->Read(s, text + 4, sizeof text - 4), 6u);
  EXPECT_STREQ(text, "abc3456789");
  EXPECT_EQ(s->vTable->Write(s, text, 3), 0u);  // read access only
  OM_ReleaseStream(s);
  std::remove("om_stream_file.tmp");
}

}  // namespace
