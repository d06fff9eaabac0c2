// The editor's rules on the job, without the editor.
#include "job/job_edits.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(JobEditsTest, AFolderIsAddedOnceAndRemovedWithItsDuplicates) {
  BackupJob job;
  EXPECT_TRUE(AddIncludeFolder(job, L"/data/photos/"));
  EXPECT_FALSE(AddIncludeFolder(job, L"/data/photos/"));
  // Another folder on a file system that tells case apart.
  EXPECT_TRUE(AddIncludeFolder(job, L"/data/Photos/"));
  EXPECT_EQ(job.IncludeFolders, (std::vector<std::wstring>{L"/data/photos/", L"/data/Photos/"}));
  job.IncludeFolders = {L"/a/", L"/b/", L"/a/", L"/A/"};
  RemoveIncludeFolders(job, {L"/a/"});
  EXPECT_EQ(job.IncludeFolders, (std::vector<std::wstring>{L"/b/", L"/A/"}));
}

TEST(JobEditsTest, ExcludedFoldersGoOnLinesOfTheirOwn) {
  const std::wstring one = AppendExcludeFolder(L"", L"/tmp/");
  EXPECT_EQ(one, L"\r\n/tmp/");
  EXPECT_EQ(AppendExcludeFolder(one, L"/var/tmp/"), L"/tmp/\r\n/var/tmp/");
  // A bar the user typed becomes a line break with the next addition.
  EXPECT_EQ(AppendExcludeFolder(L"  /a/|/b/\r\n", L"/c/"), L"/a/\r\n/b/\r\n/c/");
}

TEST(JobEditsTest, TheArchiveNameLosesWhatItMayNotHold) {
  EXPECT_EQ(WithoutRefusedNameCharacters(L"report.zip"), L"reportzip");
  EXPECT_EQ(WithoutRefusedNameCharacters(L"a:b?c*d/e"), L"abcde");
  EXPECT_EQ(WithoutRefusedNameCharacters(L"Täglich_2026-12"), L"Täglich_2026-12");
}

TEST(JobEditsTest, OnlyACompleteJobStarts) {
  BackupJob job;
  job.IncludeFolders = {L"/home/"};
  job.ArchiveFolder = L"/backup/";
  job.ArchiveName = L"Daily";
  EXPECT_TRUE(IsStartable(job));
  for (auto clear :
       {+[](BackupJob& j) { j.IncludeFolders.clear(); }, +[](BackupJob& j) { j.WhiteList.clear(); },
        +[](BackupJob& j) { j.ArchiveFolder.clear(); },
        +[](BackupJob& j) { j.ArchiveName.clear(); }}) {
    BackupJob incomplete = job;
    clear(incomplete);
    EXPECT_FALSE(IsStartable(incomplete));
  }
}

}  // namespace
}  // namespace kelvane
