#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "json/json_document.h"
#include "support/test_support.h"
#include "util/result_codes.h"

namespace kelvane {
namespace {

using test::FaultyFileSystem;
using test::PathExists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class JsonFileTest : public ::testing::Test {
 protected:
  void MakeDocument(JsonDocument& doc, std::wstring_view value) {
    JsonNode* root = doc.AddObject(nullptr);
    doc.AddString(root, "value", value);
  }

  TempDir dir_;
};

TEST_F(JsonFileTest, LoadReportsMissingEmptyAndMalformedFiles) {
  JsonDocument doc;
  const platform::Status missing = doc.LoadFile(dir_.Wide("missing.json"));
  EXPECT_EQ(missing.code(), ENOENT);
  EXPECT_EQ(missing.context(), L"Open file failed, code: 2.");

  WriteBytes(dir_.Native("empty.json"), "");
  EXPECT_EQ(doc.LoadFile(dir_.Wide("empty.json")).code(), static_cast<int>(kResultEmptyFile));
  EXPECT_TRUE(doc.empty());

  WriteBytes(dir_.Native("bad.json"), "{\"Backup\": [1, 2");
  EXPECT_EQ(doc.LoadFile(dir_.Wide("bad.json")).code(), static_cast<int>(kResultInvalidData));
  EXPECT_TRUE(doc.empty());

  WriteBytes(dir_.Native("bom.json"), "\xEF\xBB\xBF{}");
  EXPECT_TRUE(doc.LoadFile(dir_.Wide("bom.json")).ok());

  // A folder, or a FIFO (which must not hang the load), is no job file.
  const platform::Status folder = doc.LoadFile(dir_.Wide(""));
  EXPECT_EQ(folder.code(), EISDIR);
  EXPECT_EQ(folder.context(), L"Open file failed, code: 21.");
  ASSERT_EQ(::mkfifo(dir_.Native("fifo.json").c_str(), 0600), 0);
  EXPECT_EQ(doc.LoadFile(dir_.Wide("fifo.json")).code(), EINVAL);
}

// An empty document is not saved; given a disk that fills up while the new
// text is written, or a rename that fails, the old file stays as it was and
// no temporary file is left.
TEST_F(JsonFileTest, AnEmptyOrFailedSaveLeavesTheOldFileAndNoTemporary) {
  JsonDocument empty;
  EXPECT_EQ(empty.SaveFile(dir_.Wide("x.json")).code(), static_cast<int>(kResultNothingToSave));
  EXPECT_FALSE(PathExists(dir_.Native("x.json")));
  WriteBytes(dir_.Native("doc.json"), "old content");
  for (const int error : {ENOSPC, EXDEV}) {
    FaultyFileSystem fs;
    if (error == ENOSPC) fs.failWrite = [](const std::wstring&, uint64_t) { return ENOSPC; };
    if (error == EXDEV)
      fs.failReplace = [](const std::wstring&, const std::wstring&) { return EXDEV; };
    JsonDocument doc;
    MakeDocument(doc, L"new");
    const platform::Status saved = doc.SaveFile(dir_.Wide("doc.json"));
    EXPECT_EQ(saved.code(), error);
    EXPECT_EQ(saved.context(), std::wstring(error == ENOSPC ? L"Save" : L"Replace") +
                                   L" file failed, code: " + std::to_wstring(error) + L".");
    EXPECT_EQ(ReadBytes(dir_.Native("doc.json")), "old content");
    EXPECT_EQ(test::NamesIn(dir_.path()), std::vector<std::string>{"doc.json"});
  }
}

}  // namespace
}  // namespace kelvane
