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
    folder_ = platform::FromNative(dir_.path() + "/");
    for (int i = 0; i < 3; ++i) {
      test::WriteBytes(dir_.Native(kNames[i]), std::string(static_cast<size_t>(10 * (i + 1)), 'x'));
      FilePathInfoEx file;
      file.folder = folder_;
      file.name = kNames[i];
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

  static constexpr const char* kNames[] = {"f0.txt", "f1.txt", "f2.txt"};
  test::TempDir dir_;
  std::wstring folder_;
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
