#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/file_stream.h"
#include "platform/memory_stream.h"

namespace {

const std::vector<std::uint8_t> kBytes = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

std::filesystem::path WriteTempFile(const char* name) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(kBytes.data()),
             static_cast<std::streamsize>(kBytes.size()));
  return path;
}

LARGE_INTEGER Offset(LONGLONG value) {
  LARGE_INTEGER offset{};
  offset.QuadPart = value;
  return offset;
}

// Both our streams behave alike: reads from the position, short at the end,
// seeks from every origin, the size from Stat.
void CheckReadSeekStat(IStream* stream) {
  std::uint8_t buffer[8] = {};
  ULONG read = 99;
  ASSERT_EQ(stream->Read(buffer, 4, &read), S_OK);
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(buffer[0], 10);
  EXPECT_EQ(buffer[3], 13);

  ULARGE_INTEGER position{};
  ASSERT_EQ(stream->Seek(Offset(2), STREAM_SEEK_CUR, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 6u);
  ASSERT_EQ(stream->Read(buffer, 8, &read), S_OK);
  EXPECT_EQ(read, 4u);  // short at the end
  EXPECT_EQ(buffer[0], 16);

  ASSERT_EQ(stream->Seek(Offset(-1), STREAM_SEEK_END, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 9u);
  ASSERT_EQ(stream->Read(buffer, 1, &read), S_OK);
  EXPECT_EQ(buffer[0], 19);

  ASSERT_EQ(stream->Seek(Offset(100), STREAM_SEEK_SET, nullptr), S_OK);  // past the end
  ASSERT_EQ(stream->Read(buffer, 1, &read), S_OK);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(stream->Seek(Offset(-1), STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Seek(Offset(0x7FFFFFFFFFFFFFFF), STREAM_SEEK_CUR, nullptr),
            STG_E_INVALIDFUNCTION);

  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, kBytes.size());
  EXPECT_EQ(stat.pwcsName, nullptr);

  ULONG written = 5;
  EXPECT_LT(stream->Write(buffer, 1, &written), 0);
  EXPECT_EQ(written, 0u);
}

TEST(ReadOnlyStream, MemoryStreamReadsSeeksAndStats) {
  ComRef<IStream> stream = MakeMemoryStream(kBytes);
  ASSERT_TRUE(stream);
  CheckReadSeekStat(stream.Get());
}

TEST(ReadOnlyStream, FileStreamReadsSeeksAndStats) {
  const std::filesystem::path path = WriteTempFile("vfk_stream_test.bin");
  std::error_code error;
  {
    ComRef<IStream> stream = OpenFileStream(path, error);
    ASSERT_TRUE(stream) << error.message();
    CheckReadSeekStat(stream.Get());
  }
  std::filesystem::remove(path);
  EXPECT_FALSE(OpenFileStream(path, error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
}

TEST(ReadOnlyStream, AnswersOnlyStreamInterfaces) {
  ComRef<IStream> stream = MakeMemoryStream(kBytes);
  ComRef<IUnknown> unknown;
  EXPECT_EQ(stream->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
  ComRef<IUnknown> other;
  EXPECT_EQ(stream->QueryInterface(IID_IThumbnailProvider, other.PutVoid()), E_NOINTERFACE);
  EXPECT_FALSE(other);
}

}  // namespace
