// The 7z writer with the real library, checked with the 7z tool.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "archive/sevenzip/seven_zip_compressor.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane::SevenZip {
namespace {

using intl::FilePathInfoEx;

class SevenZipWriterTest : public ::testing::Test {
 protected:
  FilePathInfoEx File(const std::string& relative, const std::string& content) {
    const std::string path = dir_.Native("src/" + relative);
    test::WriteBytes(path, content);
    FilePathInfoEx file;
    file.folder = paths_.emplace_back(platform::FromNative(path));
    file.archivePathStart = static_cast<uint32_t>(dir_.path().size() + 1);  // stored as "src/..."
    file.size = content.size();
    file.attributes = 0x8020 | (0100644u << 16);
    return file;
  }

  uint32_t Pack(SevenZipUIUpdate* record, const std::vector<FilePathInfoEx>& files,
                const std::wstring& library = FindSevenZipLibrary(L"")) {
    std::unique_ptr<platform::FileStream> archive;
    EXPECT_EQ(platform::Fs()
                  .OpenStream(dir_.Wide("out.7z"), platform::FileStream::kCreate, &archive)
                  .code(),
              0);
    return PackWithSevenZip(record, library, dir_.Wide("out.7z"), std::move(archive), files);
  }

  int Shell(const std::string& command) {
    output_.clear();
    return test::RunShell("cd '" + dir_.path() + "' && " + command + " 2>&1", &output_);
  }

  test::TempDir dir_;
  std::deque<std::wstring> paths_;  // where the files' views point
  std::string output_;
};

TEST_F(SevenZipWriterTest, LevelZeroStoresAndNineCompressesMoreThanOne) {
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "entry " + std::to_string(i * 7919 % 10007) + "\n";
  const std::vector<FilePathInfoEx> files = {File("t.txt", text)};
  uintmax_t sizes[10] = {};
  for (uint32_t level : {0u, 1u, 9u}) {
    SevenZipUIUpdate record;
    record.level = level;
    ASSERT_EQ(Pack(&record, files), 0u) << record.errorText;
    sizes[level] = std::filesystem::file_size(dir_.Native("out.7z"));
    ASSERT_EQ(Shell("7z l -slt out.7z | grep '^Method'"), 0);
    if (level == 0) {
      EXPECT_NE(output_.find("Copy"), std::string::npos) << output_;
    }
  }
  EXPECT_GT(sizes[0], text.size());
  EXPECT_LT(sizes[9], sizes[1]);
}

TEST_F(SevenZipWriterTest, AnEmptyListMakesAValidEmptyArchive) {
  test::WriteBytes(dir_.Native("out.7z"), "an older file in the way");
  ASSERT_EQ(Pack(nullptr, {}), 0u);
  EXPECT_EQ(Shell("7z t out.7z"), 0) << output_;
}

TEST_F(SevenZipWriterTest, LibraryFailuresHaveClearTexts) {
  test::WriteBytes(dir_.Native("not-a-library.so"), "just text");
  struct Case {
    std::wstring library;
    std::string text;
  } cases[] = {
      {dir_.Wide("missing/7z.so"), "LoadLibrary: GetLastError = " + dir_.Native("missing/7z.so") +
                                       ": cannot open shared object file"},
      {dir_.Wide("not-a-library.so"), "LoadLibrary: GetLastError = "},
      {L"libz.so.1", "Loaded library is missing required CreateObject function"},
      {platform::FromNative(FAKE_OLD_LAYOUT_LIBRARY), "of another interface layout"},
      {platform::FromNative(FAKE_NO_MODULE_PROP_LIBRARY), "of another interface layout"},
  };
  for (const Case& c : cases) {
    SevenZipUIUpdate record;
    EXPECT_EQ(Pack(&record, {File("a.txt", "a")}, c.library), 1627u);
    EXPECT_NE(record.errorText.find(c.text), std::string::npos) << record.errorText;
  }
}

TEST_F(SevenZipWriterTest, FindsTheLibraryInTheStandardPlaces) {
  EXPECT_EQ(FindSevenZipLibrary(L"/opt/own/7z.so"), L"/opt/own/7z.so");
  const std::wstring found = FindSevenZipLibrary(L"");
  EXPECT_TRUE(found == L"/usr/lib/p7zip/7z.so" || found == L"/usr/lib/7zip/7z.so");
}

}  // namespace
}  // namespace kelvane::SevenZip
