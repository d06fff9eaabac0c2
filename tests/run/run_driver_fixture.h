// Whole runs through the run driver for tests: a job over "src" of a
// temporary folder into "out", named "Daily", with a recording host.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "job/backup_job.h"
#include "json/json_document.h"
#include "language/language_table.h"
#include "platform/text_codec.h"
#include "run/run_driver.h"
#include "support/fake_run_host.h"
#include "support/test_support.h"

namespace kelvane::test {

inline std::vector<std::string> FilesBelow(const std::string& root) {
  std::vector<std::string> files;
  if (!PathExists(root)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string().substr(root.size()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

class RunDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    src_ = dir_.Native("src");
    WriteBytes(src_ + "/a.txt", "alpha");
    WriteBytes(src_ + "/sub/b.txt", "beta");
    WriteBytes(src_ + "/sub/c.log", "log");
    job_.Type = kJobTypeFolder;
    job_.ArchiveFolder = dir_.Wide("out");
    job_.ArchiveName = L"Daily";
    job_.IncludeFolders = {platform::FromNative(src_)};
  }

  RunReport Run() {
    JsonDocument doc;
    EXPECT_TRUE(WriteJobToDocument(job_, doc));
    return driver_.Run(doc);
  }

  // Whether a line of the job's log holds `text`.
  bool LogHas(const std::string& text) const {
    for (const std::string& line : LogLines(dir_.Native("out/Daily.log"))) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  // Where the folder target puts the source tree.
  std::string Copied() const { return dir_.Native("out/Daily") + src_; }

  test::TempDir dir_;
  std::string src_;
  BackupJob job_;
  LanguageTable texts_;
  test::FakeRunHost host_;
  RunDriver driver_ = MakeRunDriver(host_, texts_, L"");
};

}  // namespace kelvane::test
