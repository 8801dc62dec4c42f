#include "stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "memory_stream.h"

namespace {

struct Resource {
  const char* path;
  reg size;
};

const Resource kResources[] = {
    {"res://FNT_IBM", 2056},         {"res://OWD_DEVELOPMENT", 76}, {"res://TEX_CWHITEWASH", 16522},
    {"res://TEX_FCONCRETE", 5174},   {"res://TEX_WBRICKS", 16522},  {"res://TEX_WDUMMY", 16522},
    {"res://TEX_WWHITEWASH", 16522},
};

TEST(ResourceStream, EveryResourceYieldsExactlyItsSizeThenZero) {
  for (const Resource& r : kResources) {
    SCOPED_TRACE(r.path);
    OM_Stream* s = OM_OpenStream(r.path, OM_STREAM_READ);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->vTable, &OM_Stream_Resource_VTable);
    u8 buffer[1000];
    reg total = 0;
    for (reg n; (n = s->vTable->Read(s, buffer, sizeof buffer)) != 0;) total += n;
    EXPECT_EQ(total, r.size);
    EXPECT_EQ(s->vTable->Read(s, buffer, sizeof buffer), 0u);
    OM_ReleaseStream(s);
  }
}

TEST(ResourceStream, AnySequenceOfReadsGivesTheSameBytes) {
  std::vector<u8> whole = ReadResource("res://FNT_IBM");
  ASSERT_EQ(whole.size(), 2056u);
  OM_Stream* s = OM_OpenStream("res://FNT_IBM", OM_STREAM_READ);
  ASSERT_NE(s, nullptr);
  std::vector<u8> pieces;
  u8 buffer[128];
  for (reg size = 1;; size = size % 61 + 7) {  // 1, 8, 15, ... uneven sizes up to 67
    reg n = s->vTable->Read(s, buffer, size);
    if (n == 0) break;
    EXPECT_LE(n, size);
    pieces.insert(pieces.end(), buffer, buffer + n);
  }
  EXPECT_EQ(pieces, whole);
  OM_ReleaseStream(s);
}

TEST(ResourceStream, ReadPastTheEndAndReadOfZero) {
  OM_Stream* s = OM_OpenStream("res://TEX_FCONCRETE", OM_STREAM_READ);
  ASSERT_NE(s, nullptr);
  u8 header[2] = {0xAA, 0xAA};
  EXPECT_EQ(s->vTable->Read(s, header, 0), 0u);  // does not move the position
  EXPECT_EQ(header[0], 0xAA);
  std::vector<u8> buffer(8192);
  EXPECT_EQ(s->vTable->Read(s, buffer.data(), buffer.size()), 5174u);
  EXPECT_EQ(buffer[0], 'B');  // the read of 0 did not skip the start
  EXPECT_EQ(buffer[1], 'M');
  EXPECT_EQ(s->vTable->Read(s, buffer.data(), buffer.size()), 0u);
  EXPECT_EQ(s->vTable->Read(s, buffer.data(), 1), 0u);
  OM_ReleaseStream(s);
}

TEST(ResourceStream, NamesAreLookedUpWithoutRegardToCase) {
  // Windows' resource lookup ignores case; both builds must agree.
  EXPECT_EQ(ReadResource("res://fnt_ibm").size(), 2056u);
  EXPECT_EQ(ReadResource("res://Tex_WDummy").size(), 16522u);
}

// A path held in a block of exactly its own size, so that the sanitizer
// build catches any read past its terminator.
std::unique_ptr<char[]> exact(const char* text) {
  std::unique_ptr<char[]> p(new char[strlen(text) + 1]);
  memcpy(p.get(), text, strlen(text) + 1);
  return p;
}

TEST(OpenStream, UnknownSchemesMissingNamesAndShortPathsGiveNull) {
  const char* paths[] = {"",
                         "r",
                         "re",
                         "res",
                         "res:",
                         "res:/",
                         "res://",
                         "res://NOPE",
                         "res://FNT_IB",
                         "file",
                         "file:",
                         "file:/",
                         "http://FNT_IBM",
                         "RES://FNT_IBM",
                         "FNT_IBM",
                         "rs://FNT_IBM",
                         "res://FNT_IBM/"};
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    std::unique_ptr<char[]> p = exact(path);
    for (OM_Stream_Flags f : {OM_STREAM_READ, OM_STREAM_WRITE, OM_STREAM_SEEK}) {
      OM_Stream* s = OM_OpenStream(p.get(), f);
      EXPECT_EQ(s, nullptr);
      OM_ReleaseStream(s);
    }
  }
  EXPECT_EQ(OM_OpenStream(nullptr, OM_STREAM_READ), nullptr);
  OM_ReleaseStream(nullptr);  // does nothing
}

// Each test uses its own file: CTest may run them side by side.
class FileStream : public ::testing::Test {
 protected:
  void SetUp() override {
    name = std::string("om_stream_") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".tmp";
    path = "file://" + name;
    std::remove(name.c_str());
  }
  void TearDown() override { std::remove(name.c_str()); }
  void create(const char* content) {
    FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(content, f);
    std::fclose(f);
  }
  std::string content() {
    std::string out;
    FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return "<missing>";
    for (int c; (c = std::fgetc(f)) != EOF;) out += char(c);
    std::fclose(f);
    return out;
  }
  bool exists() {
    FILE* f = std::fopen(name.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
  }
  std::string name, path;
};

TEST_F(FileStream, MissingFileIsNeverCreated) {
  for (OM_Stream_Flags f : {OM_STREAM_READ, OM_STREAM_WRITE, OM_STREAM_SEEK}) {
    EXPECT_EQ(OM_OpenStream(path.c_str(), f), nullptr);
    EXPECT_FALSE(exists());
  }
}

TEST_F(FileStream, ReadsAnExistingFileToItsEnd) {
  create("hello, stream");
  OM_Stream* s = OM_OpenStream(path.c_str(), OM_STREAM_READ);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->vTable, &OM_Stream_File_VTable);
  char buffer[64] = {};
  EXPECT_EQ(s->vTable->Read(s, buffer, 5), 5u);
  EXPECT_EQ(s->vTable->Read(s, buffer + 5, sizeof buffer - 5), 8u);
  EXPECT_STREQ(buffer, "hello, stream");
  EXPECT_EQ(s->vTable->Read(s, buffer, sizeof buffer), 0u);
  // Opened for reading only: writing is refused, not faked.
  EXPECT_EQ(s->vTable->Write(s, buffer, 3), 0u);
  OM_ReleaseStream(s);
  EXPECT_EQ(content(), "hello, stream");
}

TEST_F(FileStream, WritesIntoAnExistingFileWithoutTruncatingIt) {
  create("0123456789");
  OM_Stream* s = OM_OpenStream(path.c_str(), OM_STREAM_WRITE);
  ASSERT_NE(s, nullptr);
  char text[] = "abc";
  EXPECT_EQ(s->vTable->Write(s, text, 3), 3u);
  char buffer[8];
  EXPECT_EQ(s->vTable->Read(s, buffer, sizeof buffer), 0u);  // write access only
  OM_ReleaseStream(s);
  EXPECT_EQ(content(), "abc3456789");
}

TEST_F(FileStream, ReadAndWriteTogetherAndNeither) {
  create("xyz");
  OM_Stream* s = OM_OpenStream(path.c_str(), OM_STREAM_SEEK);  // bits 1 and 2
  ASSERT_NE(s, nullptr);
  char buffer[4] = {};
  EXPECT_EQ(s->vTable->Read(s, buffer, 1), 1u);
  EXPECT_EQ(s->vTable->Write(s, buffer, 1), 1u);
  OM_ReleaseStream(s);
  EXPECT_EQ(content(), "xxz");
  // No access bit: the file opens but can be neither read nor written.
  s = OM_OpenStream(path.c_str(), static_cast<OM_Stream_Flags>(0));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->vTable->Read(s, buffer, 1), 0u);
  EXPECT_EQ(s->vTable->Write(s, buffer, 1), 0u);
  OM_ReleaseStream(s);
  EXPECT_EQ(content(), "xxz");
}

TEST_F(FileStream, ADirectoryIsNotAFile) {
  EXPECT_EQ(OM_OpenStream("file://.", OM_STREAM_READ), nullptr);
}

}  // namespace
