#include "job/backup_job.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "json/json_document.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

std::string Printed(const BackupJob& job) {
  JsonDocument doc;
  EXPECT_TRUE(WriteJobToDocument(job, doc));
  return doc.Print();
}

BackupJob Read(const std::string& text, bool* ok = nullptr) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(text).ok()) << text;
  BackupJob job;
  const bool result = job.ReadJob(doc);
  if (ok) *ok = result;
  return job;
}

const char kOnlyLists[] =
    R"({"Backup": {"WhiteList": [], "BlackList": [], "IncludeFolders": [], "ExcludeFolders": []}})";

TEST(BackupJobTest, SetDefaultsKeepsLevelDateOverwriteAndTestFiles) {
  BackupJob job;
  job.ArchiveCompLevel = 3;
  job.AddDate = job.Overwrite = job.TestFiles = true;
  job.Type = 2;
  job.LogErrors = false;
  job.IncludeFolders = {L"/a"};
  job.WhiteList = L"*.doc";
  job.SetDefaults();
  EXPECT_EQ(job.ArchiveCompLevel, 3u);
  EXPECT_TRUE(job.AddDate && job.Overwrite && job.TestFiles);
  EXPECT_EQ(job.Type, 1u);
  EXPECT_TRUE(job.LogErrors);
  EXPECT_TRUE(job.IncludeFolders.empty());
  EXPECT_EQ(job.WhiteList, L"*.*");
  // What Linux users need back: no file left out for its name alone.
  EXPECT_FALSE(job.SkipFilesWithoutExtension);
  EXPECT_TRUE(job.IncludeHiddenFiles);
  EXPECT_EQ(job.BlackList, L"");
}

TEST(BackupJobTest, ReadsAFullJobAndWritesItBackIdentically) {
  BackupJob job;
  job.Type = 0;
  job.ArchiveFolder = L"/srv/backup";
  job.ArchiveName = L"Daily \"quoted\"";
  job.ArchivePassword = L"s3cret äöü";
  job.ArchiveCompLevel = 5;
  job.AddDate = true;
  job.LogFolder = job.LogFiles = job.LogBlackList = true;
  job.LogErrors = job.LogRemoveLog = false;
  job.SkipFilesWithoutExtension = false;
  job.ArchiveBitGet = true;
  job.IncludeSystemFiles = job.IncludeHiddenFiles = true;
  job.WhiteList = L"*.txt\r\n*.doc";
  job.BlackList = L"";
  job.IncludeFolders = {L"/home/b", L"/home/a", L"/home/b", L""};
  job.ExcludeFolders = L"/home/a/tmp\r\n/home/*/cache";

  const std::string first = Printed(job);
  bool ok = false;
  const BackupJob read = Read(first, &ok);
  ASSERT_TRUE(ok);
  // Every member is printed: what prints the same reads the same.
  EXPECT_EQ(Printed(read), first);
  EXPECT_EQ(read.ArchivePassword, job.ArchivePassword);
  EXPECT_EQ(read.WhiteList, L"*.doc\r\n*.txt");        // sorted on saving
  EXPECT_EQ(read.IncludeFolders, job.IncludeFolders);  // order, duplicates and empties kept
  EXPECT_EQ(read.ExcludeFolders, L"/home/*/cache\r\n/home/a/tmp");
}

// Missing members read as the original read them: 0, empty or false, the
// level 9; members of the wrong kind likewise.
TEST(BackupJobTest, MissingScalarsAndScalarsOfTheWrongKindReadAsZeroOrFalse) {
  bool ok = false;
  const BackupJob bare = Read(kOnlyLists, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(bare.Type, 0u);
  EXPECT_FALSE(bare.LogErrors || bare.LogRemoveLog || bare.SkipFilesWithoutExtension ||
               bare.ArchiveBitSet || bare.AddDate);
  EXPECT_EQ(bare.ArchiveFolder + bare.WhiteList + bare.BlackList, L"");
  const std::string lists =
      R"("WhiteList": [], "BlackList": [], "IncludeFolders": [], "ExcludeFolders": [])";
  struct Row {
    std::string members;
    uint32_t level;
    bool addDate;
  } rows[] = {
      {R"("Overwrite": false)", 9, false},
      {R"("ArchiveCompLevel": 0)", 9, false},
      {R"("ArchiveCompLevel": "5")", 9, false},
      {R"("ArchiveCompLevel": 4, "AddDate": 1)", 4, false},
      {R"("ArchiveCompLevel": 2.9, "AddDate": "true")", 2, false},
      {R"("AddDate": true)", 9, true},
  };
  for (const Row& row : rows) {
    ok = false;
    const BackupJob job = Read("{\"Backup\": {" + row.members + ", " + lists + "}}", &ok);
    ASSERT_TRUE(ok) << row.members;
    EXPECT_EQ(job.ArchiveCompLevel, row.level) << row.members;
    EXPECT_EQ(job.AddDate, row.addDate) << row.members;
  }
  const BackupJob text = Read(R"({"Backup": {"ArchiveName": 12, "Type": "2", )" + lists + "}}");
  EXPECT_EQ(text.ArchiveName, L"");
  EXPECT_EQ(text.Type, 0u);
}

TEST(BackupJobTest, ReadFailsWithoutBackupObjectOrAnyList) {
  const char* broken[] = {
      R"({"backup": {}})",
      R"({"Backup": []})",
      R"([1, 2])",
      R"({"Backup": {"BlackList": [], "IncludeFolders": [], "ExcludeFolders": []}})",
      R"({"Backup": {"WhiteList": [], "IncludeFolders": [], "ExcludeFolders": []}})",
      R"({"Backup": {"WhiteList": [], "BlackList": [], "ExcludeFolders": []}})",
      R"({"Backup": {"WhiteList": [], "BlackList": [], "IncludeFolders": []}})",
      R"({"Backup": {"WhiteList": "*.*", "BlackList": [], "IncludeFolders": [], "ExcludeFolders": []}})",
      R"({"Backup": {"WhiteList": [], "BlackList": [], "IncludeFolders": {}, "ExcludeFolders": []}})",
  };
  for (const char* text : broken) {
    bool ok = true;
    Read(text, &ok);
    EXPECT_FALSE(ok) << text;
  }
}

TEST(BackupJobTest, FailedReadLeavesEarlierFieldsInPlace) {
  bool ok = true;
  const BackupJob job = Read(R"({"Backup": {"ArchiveName": "kept", "WhiteList": ["*.a"]}})", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(job.ArchiveName, L"kept");
  EXPECT_EQ(job.WhiteList, L"*.a");
}

TEST(BackupJobTest, SavedListsAreSplitTrimmedSortedAndUnique) {
  BackupJob job;
  job.WhiteList = L"*.txt|*.doc\r\n*.txt\r\n\r\n *.bak ";
  job.BlackList = L"a\r\nB\r\n|||\r\n  \r\nc";
  JsonDocument doc;
  ASSERT_TRUE(WriteJobToDocument(job, doc));
  const JsonNode* backup = doc.Find(nullptr, "Backup");
  auto entries = [&](const char* key) {
    std::vector<std::string> out;
    for (const auto& e : doc.Find(backup, key)->children) out.push_back(e->stringValue);
    return out;
  };
  EXPECT_EQ(entries("WhiteList"), (std::vector<std::string>{"*.bak", "*.doc", "*.txt"}));
  // Upper case sorts first; a line of blanks stays as one empty entry.
  EXPECT_EQ(entries("BlackList"), (std::vector<std::string>{"", "B", "a", "c"}));

  BackupJob read;
  ASSERT_TRUE(read.ReadJob(doc));
  EXPECT_EQ(read.WhiteList, L"*.bak\r\n*.doc\r\n*.txt");
}

TEST(BackupJobTest, ListElementsOfOtherKindsReadAsText) {
  const BackupJob job = Read(
      R"({"Backup": {"WhiteList": [3, true, null, "x", 0.5], "BlackList": ["", ""],
          "IncludeFolders": ["/a", 7, false], "ExcludeFolders": [[], {}]}})");
  EXPECT_EQ(job.WhiteList, L"3\r\ntrue\r\n\r\nx\r\n0.5");
  EXPECT_EQ(job.BlackList, L"");  // trailing line ends are removed
  EXPECT_EQ(job.IncludeFolders, (std::vector<std::wstring>{L"/a", L"7", L"false"}));
  EXPECT_EQ(job.ExcludeFolders, L"");
}

TEST(BackupJobTest, ParsesTheEditorsLevelText) {
  struct Row {
    std::wstring text;
    uint32_t level;
  } rows[] = {
      {L"5", 5},  {L"  7", 7}, {L"+3", 3},           {L"9x", 9},
      {L"x9", 0}, {L"", 0},    {L"-1", 4294967295u}, {L"99999999999", 2147483647u},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ParseLevelText(row.text), row.level) << std::string(row.text.begin(), row.text.end());
  }
}

TEST(BackupJobTest, BundledExampleJobIsInTheProgramsOwnFormat) {
  const char* source = std::getenv("KELVANE_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const std::string path = std::string(source) + "/res/example/example.kvnjob";
  JsonDocument doc;
  ASSERT_TRUE(doc.LoadFile(platform::FromNative(path)).ok());
  BackupJob job;
  ASSERT_TRUE(job.ReadJob(doc));
  EXPECT_EQ(job.Type, 1u);
  EXPECT_EQ(Printed(job), test::ReadBytes(path));
}

}  // namespace
}  // namespace kelvane
