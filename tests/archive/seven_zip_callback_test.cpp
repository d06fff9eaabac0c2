// The 7z writer's answers to the library, checked without the library.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "archive/sevenzip/archive_update_callback.h"
#include "archive/sevenzip/stream_wrappers.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane::SevenZip {
namespace {

using intl::ArchiveUpdateCallbackEx;
using intl::FilePathInfoEx;

class CallbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      const std::string path = dir_.Native("f" + std::to_string(i) + ".txt");
      test::WriteBytes(path, std::string(static_cast<size_t>(10 * (i + 1)), 'x'));
      FilePathInfoEx file;
      file.name = L"f" + std::to_wstring(i) + L".txt";
      file.fullPath = platform::FromNative(path);
      file.archivePathStart = 1;
      file.size = static_cast<uint64_t>(10 * (i + 1));
      file.attributes = 0x8020 | (0100640u << 16);
      file.lastWriteTime = 0x01D9000011112222ull;
      files_.push_back(file);
    }
  }

  // A callback as the library gets it: one reference held.
  ArchiveUpdateCallbackEx* Make(SevenZipUIUpdate* record) {
    auto* callback = new ArchiveUpdateCallbackEx(module_, files_, record);
    callback->AddRef();
    return callback;
  }

  test::TempDir dir_;
  SevenZipModule module_;  // not loaded: strings are made the library's way by hand
  std::vector<FilePathInfoEx> files_;
};

TEST_F(CallbackTest, AnIndexPastTheEndIsOnlyAskedWhetherItIsAnAntiItem) {
  ArchiveUpdateCallbackEx* callback = Make(nullptr);
  PROPVARIANT value{};
  ASSERT_EQ(callback->GetProperty(7, kpidIsAnti, &value), S_OK);
  EXPECT_EQ(value.vt, VT_BOOL);
  EXPECT_EQ(value.boolVal, VARIANT_FALSE);
  value.vt = VT_UI4;
  value.ulVal = 1234;
  for (PROPID id : {kpidPath, kpidSize, kpidAttrib, kpidMTime}) {
    EXPECT_EQ(callback->GetProperty(3, id, &value), E_INVALIDARG) << id;
    EXPECT_EQ(value.ulVal, 1234u) << "the out value is untouched";
  }
  ISequentialInStream* stream = nullptr;
  EXPECT_EQ(callback->GetStream(3, &stream), E_INVALIDARG);
  callback->Release();
}

TEST_F(CallbackTest, CountsProgressWhenStreamsAreHandedOut) {
  SevenZipUIUpdate record;
  ArchiveUpdateCallbackEx* callback = Make(&record);
  for (uint32_t i = 0; i < 3; ++i) {
    ISequentialInStream* stream = nullptr;
    ASSERT_EQ(callback->GetStream(i, &stream), S_OK);
    ASSERT_NE(stream, nullptr);
    char buffer[64];
    uint32_t got = 0;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &got), S_OK);
    EXPECT_EQ(got, 10 * (i + 1));
    stream->Release();
  }
  EXPECT_EQ(record.processedFiles, 3u);
  EXPECT_EQ(record.processedBytes, 10u + 20u);  // the last file's size is not added
  callback->Release();
}

}  // namespace
}  // namespace kelvane::SevenZip
