// The command line where there is no desktop: a dry run against a real run
// of the same job, the run summary, the password from standard input and the
// systemd timer, all through the real executable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "integration/cli_test_support.h"
#include "json/json_document.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::PathExists;

class ServerCommandsTest : public test::JobRunTest {
 protected:
  ServerCommandsTest() : JobRunTest(kJobTypeFolder) {}

  // kelvane with `args` and `input` on its standard input, in the work folder.
  int Kelvane(const std::string& args, const std::string& input = "") {
    return Shell("printf '" + input + "' | XDG_CONFIG_HOME='" + dir_.Native("config") + "' '" +
                 KELVANE_EXECUTABLE + "' " + args);
  }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// Given a tree with every filter in play, the dry run lists exactly the files
// a real run saves, with a reason for each left out, and writes nothing.
TEST_F(ServerCommandsTest, TheDryRunListsWhatARunSavesAndWhyTheRestIsLeftOut) {
  File("a.txt", "a");
  File("sub/b.txt", "b");
  File("new\nline.txt", "n");
  File("tab\there.txt", "t");
  File(".hidden.txt", "h");
  File("run.log", "l");
  File("README", "no extension");
  File("picture.png", "not white-listed");
  File("excluded/c.txt", "c");
  ASSERT_EQ(::symlink("/etc/passwd", (src_ + "/link.txt").c_str()), 0);
  job_.WhiteList = L"*.txt\r\n*.log";
  job_.ExcludeFolders = platform::FromNative(src_ + "/excluded");
  const std::string jobFile = cli_.WriteJob(job_);

  ASSERT_EQ(Kelvane("'" + jobFile + "' -dry-run -why"), 0) << output_;
  EXPECT_FALSE(PathExists(out_)) << "a dry run writes nothing";
  EXPECT_FALSE(PathExists(dir_.Native("config/Dravolo/Kelvane/profile.json")))
      << "not even the recent job";
  std::set<std::string> listed;
  std::set<std::string> reasons;
  for (const std::string& line : Lines(output_)) {
    if (line.rfind("+ ", 0) == 0) listed.insert(line.substr(2));
    if (line.rfind("- ", 0) == 0) reasons.insert(line.substr(2));
  }
  EXPECT_EQ(listed, (std::set<std::string>{src_ + "/a.txt", src_ + "/sub/b.txt",
                                           src_ + "/new\\x0Aline.txt", src_ + "/tab\\x09here.txt"}))
      << output_;
  EXPECT_EQ(
      reasons,
      (std::set<std::string>{
          src_ + "/.hidden.txt\tFILE_ATTRIBUTE_HIDDEN", src_ + "/run.log\tin Blacklist",
          src_ + "/README\tno Extension", src_ + "/picture.png\tnot in Whitelist",
          src_ + "/excluded/\tin Blacklist (path)", src_ + "/link.txt\tIO_REPARSE_TAG_SYMLINK"}))
      << output_;
  EXPECT_NE(output_.find("Would save 4 files"), std::string::npos) << output_;
  EXPECT_NE(output_.find(", enough."), std::string::npos) << output_;

  // The real run saves the same files.
  ASSERT_EQ(RunJob().status, 0);
  std::set<std::string> saved;
  const std::string target = out_ + "/Daily";
  for (const auto& entry : std::filesystem::recursive_directory_iterator(target)) {
    std::string path = entry.path().string().substr(target.size());
    if (!entry.is_regular_file() || path.starts_with("/.kelvane/")) continue;
    std::string escaped;
    for (char c : path) escaped += c == '\n' ? "\\x0A" : c == '\t' ? "\\x09" : std::string(1, c);
    saved.insert(escaped);
  }
  EXPECT_EQ(saved, listed);

  // With links taken, the link is listed, never what it points to; an
  // include folder that is not there is one line, once.
  job_.IncludeLinks = true;
  job_.IncludeFolders.push_back(dir_.Wide("missing"));
  ASSERT_EQ(Kelvane("'" + cli_.WriteJob(job_) + "' -dry-run -why"), 0) << output_;
  EXPECT_NE(output_.find("+ " + src_ + "/link.txt\n"), std::string::npos) << output_;
  EXPECT_NE(output_.find("Would save 5 files"), std::string::npos) << output_;
  const std::vector<std::string> lines = Lines(output_);
  EXPECT_EQ(
      std::count(lines.begin(), lines.end(), "- " + dir_.Native("missing") + "/\tcannot be read"),
      1)
      << output_;
}

// The dry run refuses what the run refuses, with the same message: an
// unreadable job, and an archive folder behind a link another user could
// have placed.
TEST_F(ServerCommandsTest, TheDryRunRefusesWhatTheRunRefuses) {
  test::WriteBytes(dir_.Native("bad.kvnjob"), "{ not json");
  EXPECT_EQ(Kelvane("bad.kvnjob -dry-run"), 3) << output_;
  test::WriteBytes(dir_.Native("empty.kvnjob"), "");
  EXPECT_EQ(Kelvane("empty.kvnjob -start"), 3) << output_;
  EXPECT_NE(output_.find("empty.kvnjob: the file is empty"), std::string::npos) << output_;
  File("a.txt", "a");
  ASSERT_EQ(Shell("mkdir -m 1777 open && mkdir real && ln -s ../real open/out"), 0) << output_;
  job_.ArchiveFolder = dir_.Wide("open/out");
  const std::string jobFile = cli_.WriteJob(job_);
  EXPECT_EQ(Kelvane("'" + jobFile + "' -dry-run"), 2) << output_;
  const std::string refused =
      "Create Folder " + dir_.Native("open/out") + " failed. Symbolic link not followed.";
  EXPECT_NE(output_.find(refused), std::string::npos) << output_;
  EXPECT_EQ(Kelvane("'" + jobFile + "' -start"), 2) << output_;
  EXPECT_NE(output_.find(refused), std::string::npos) << output_;
}

// The summary tells how each kind of run ended, as JSON a monitor can read.
TEST_F(ServerCommandsTest, TheSummarySaysHowTheRunEnded) {
  File("a.txt", "alpha");
  const std::string jobFile = cli_.WriteJob(job_);
  const std::string summary = dir_.Native("summary.json");
  // The summary's members, as Python's json module reads them.
  auto read = [&] {
    std::map<std::string, std::string> members;
    std::string listed;
    EXPECT_EQ(
        test::RunShell("python3 -c 'import json, sys\nfor k, v in json.load(open(sys.argv[1]))"
                       ".items(): print(k, v, sep=\"=\")' '" +
                           summary + "'",
                       &listed),
        0);
    for (const std::string& line : Lines(listed)) {
      members[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    return members;
  };
  // An include folder that is not there aborts the run.
  job_.IncludeFolders.push_back(dir_.Wide("missing"));
  const std::string aborted = cli_.WriteJob(job_, "aborted.kvnjob");
  const std::pair<std::string, std::map<std::string, std::string>> runs[] = {
      {"'" + jobFile + "' -start",
       {{"outcome", "completed"},
        {"exitStatus", "0"},
        {"filesSelected", "1"},
        {"filesSaved", "1"},
        {"bytes", "5"},
        {"job", jobFile},
        {"target", out_ + "/Daily/"},
        {"verification", "none"}}},
      {"'" + aborted + "' -start", {{"outcome", "aborted"}, {"exitStatus", "2"}}},
      {"nowhere.kvnjob -start", {{"outcome", "job_unreadable"}, {"exitStatus", "3"}}},
  };
  for (const auto& [run, expected] : runs) {
    Kelvane(run + " -summary '" + summary + "'");
    std::map<std::string, std::string> members = read();
    for (const auto& [key, value] : expected) EXPECT_EQ(members[key], value) << run << ": " << key;
    EXPECT_TRUE(std::regex_match(members["start"],
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << members["start"];
  }

  // A summary that cannot be written is an error of the run; one that would
  // replace the run's own archive is refused before anything is done.
  EXPECT_EQ(Kelvane("'" + jobFile + "' -start -summary '" + dir_.Native("no/such/s.json") + "'"), 1)
      << output_;
  job_.IncludeFolders.pop_back();
  job_.Type = kJobTypeZip;
  const std::string zipJob = cli_.WriteJob(job_, "zip.kvnjob");
  ASSERT_EQ(Kelvane("'" + zipJob + "' -start"), 0) << output_;
  const std::string before = test::ReadBytes(out_ + "/Daily.zip");
  EXPECT_EQ(Kelvane("'" + zipJob + "' -start -summary '" + out_ + "/Daily.zip'"), 3) << output_;
  EXPECT_EQ(test::ReadBytes(out_ + "/Daily.zip"), before);
}

// The password arrives on standard input, never in the arguments; the job
// keeps its mode, and the archives open with it (7z: the names hidden too;
// ZIP's encryption: ZipArchiveTest.PasswordEncryptsEveryEntry).
TEST_F(ServerCommandsTest, APasswordFromStandardInputOpensTheArchives) {
  File("a.txt", "alpha");
  job_.Type = kJobTypeSevenZip;
  const std::string jobFile = cli_.WriteJob(job_);
  ASSERT_EQ(::chmod(jobFile.c_str(), 0600), 0);
  ASSERT_EQ(Kelvane("'" + jobFile + "' -set-password", "geheim ü\\n"), 0) << output_;
  EXPECT_EQ(output_.find("geheim"), std::string::npos) << output_;
  struct stat status;
  ASSERT_EQ(::stat(jobFile.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  EXPECT_EQ(test::ReadBytes(jobFile).find("geheim"), std::string::npos) << "stored enciphered";
  ASSERT_EQ(Kelvane("'" + jobFile + "' -start"), 0) << output_;
  // 7z: AES-256, the names listed without the password, a wrong one refused.
  EXPECT_EQ(Shell("7z t '-pgeheim ü' '" + out_ + "/Daily.7z'"), 0) << output_;
  EXPECT_NE(Shell("7z t -pwrong '" + out_ + "/Daily.7z'"), 0);
  ASSERT_EQ(Shell("7z l -slt '-pgeheim ü' '" + out_ + "/Daily.7z'"), 0);
  EXPECT_NE(output_.find("7zAES"), std::string::npos) << output_;
  EXPECT_EQ(Shell("7z l -p '" + out_ + "/Daily.7z' | grep -c /a.txt"), 0) << output_;

  // An empty line removes it.
  ASSERT_EQ(Kelvane("'" + jobFile + "' -set-password", "\\n"), 0) << output_;
  BackupJob read;
  JsonDocument doc;
  ASSERT_TRUE(doc.LoadFile(platform::FromNative(jobFile)).ok());
  ASSERT_TRUE(read.ReadJob(doc));
  EXPECT_EQ(read.ArchivePassword, L"");
  // Nothing on standard input changes nothing, and neither does what no tool
  // could type back: bytes of another encoding (Latin-1), or a NUL.
  const std::string before = test::ReadBytes(jobFile);
  for (const char* input :
       {"< /dev/null", "< <(printf 'caf\\351\\n')", "< <(printf 'a\\000b\\n')"}) {
    EXPECT_EQ(Shell("XDG_CONFIG_HOME='" + dir_.Native("config") + "' bash -c \"'" +
                    KELVANE_EXECUTABLE + "' '" + jobFile + "' -set-password " + input + "\""),
              3)
        << input << ": " << output_;
    EXPECT_EQ(test::ReadBytes(jobFile), before) << input;
  }
}

// On a terminal the password is asked twice and never shown; two entries
// that differ change nothing.
TEST_F(ServerCommandsTest, OnATerminalThePasswordIsAskedTwiceAndNotShown) {
  if (test::RunShell("command -v script > /dev/null") != 0) GTEST_SKIP() << "no script(1)";
  const std::string jobFile = cli_.WriteJob(job_);
  auto typed = [&](const std::string& first, const std::string& second) {
    // script(1) gives the program a terminal; each line is typed once its
    // prompt is there, as a user types it.
    const std::string until =
        "for i in $(seq 300); do grep -q \"$1\" out && break; sleep 0.1; done";
    return Shell("rm -f in out && mkfifo in && (XDG_CONFIG_HOME='" + dir_.Native("config") +
                 "' script -qec \"'" + KELVANE_EXECUTABLE + "' '" + jobFile +
                 "' -set-password\" /dev/null < in > out 2>&1 & pid=$!; exec 3> in; "
                 "prompt() { " +
                 until + "; }; prompt 'New password'; printf '" + first +
                 "\\n' >&3; prompt 'The same once more'; printf '" + second +
                 "\\n' >&3; exec 3>&-; wait $pid; status=$?; cat out; exit $status)");
  };
  ASSERT_EQ(typed("hidden1", "hidden1"), 0) << output_;
  EXPECT_EQ(output_.find("hidden1"), std::string::npos) << output_;
  EXPECT_NE(output_.find("New password"), std::string::npos) << output_;
  auto stored = [&] {
    JsonDocument doc;
    BackupJob read;
    EXPECT_TRUE(doc.LoadFile(platform::FromNative(jobFile)).ok());
    EXPECT_TRUE(read.ReadJob(doc));
    return read.ArchivePassword;
  };
  EXPECT_EQ(stored(), L"hidden1");
  EXPECT_EQ(typed("other", "others"), 3) << output_;
  EXPECT_EQ(stored(), L"hidden1");
}

TEST_F(ServerCommandsTest, AScheduleIsATimerSystemdAcceptsAndOffRemovesIt) {
  const std::string jobFile = cli_.WriteJob(job_, "night ly.kvnjob");
  // The unit a -schedule made, from the command it prints.
  auto scheduled = [&](const std::string& job) {
    if (Kelvane("'" + job + "' -schedule daily") != 0) return std::string("(failed)");
    const std::smatch found = [&] {
      std::smatch match;
      std::regex_search(output_, match, std::regex("enable --now (kelvane-[^ ]+)\\.timer"));
      return match;
    }();
    return found.empty() ? std::string("(none)") : found[1].str();
  };
  const std::string unit = scheduled(jobFile);
  ASSERT_EQ(unit.rfind("kelvane-night_ly-", 0), 0u) << output_;
  const std::string units = dir_.Native("config/systemd/user/");
  const std::string service = test::ReadBytes(units + unit + ".service");
  const std::string timer = test::ReadBytes(units + unit + ".timer");
  EXPECT_NE(service.find(std::string("ExecStart=\"") + KELVANE_EXECUTABLE + "\" \"" + jobFile +
                         "\" -start -console\n"),
            std::string::npos)
      << service;
  EXPECT_NE(timer.find("OnCalendar=daily\nPersistent=true\n"), std::string::npos) << timer;
  if (test::RunShell("command -v systemd-analyze > /dev/null") == 0) {
    // Accepted, and without a single warning about the files.
    EXPECT_EQ(
        Shell("systemd-analyze verify '" + units + unit + ".timer' '" + units + unit + ".service'"),
        0)
        << output_;
    EXPECT_EQ(output_, "");
    EXPECT_EQ(Kelvane("'" + jobFile + "' -schedule 'at some point'"), 3);
  }
  EXPECT_EQ(Kelvane("'" + jobFile + "' -schedule \"$(printf 'daily\\nExecStart=/bin/sh')\""), 3);

  // Names alike, jobs apart: each its own timer, and off removes only its own.
  std::filesystem::create_directories(dir_.Native("elsewhere"));
  const std::string alike = cli_.WriteJob(job_, "night_ly.kvnjob");
  const std::string namesake =
      test::Cli(dir_.Native("elsewhere")).WriteJob(job_, "night ly.kvnjob");
  const std::string alikeUnit = scheduled(alike);
  const std::string namesakeUnit = scheduled(namesake);
  EXPECT_NE(alikeUnit, unit);
  EXPECT_NE(namesakeUnit, unit);
  EXPECT_NE(namesakeUnit, alikeUnit);
  // A unit of this job's name that runs another job is never replaced or
  // removed for this one.
  std::filesystem::copy_file(units + alikeUnit + ".service", units + unit + ".service",
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(Kelvane("'" + jobFile + "' -schedule daily"), 3);
  EXPECT_EQ(Kelvane("'" + jobFile + "' -schedule off"), 3);
  EXPECT_TRUE(PathExists(units + unit + ".timer"));
  std::filesystem::remove(units + unit + ".service");
  ASSERT_EQ(Kelvane("'" + jobFile + "' -schedule off"), 0) << output_;
  EXPECT_FALSE(PathExists(units + unit + ".timer"));
  EXPECT_TRUE(PathExists(units + alikeUnit + ".service"));
  EXPECT_TRUE(PathExists(units + namesakeUnit + ".service"));
  // Without a home there is no folder for the user's timers.
  EXPECT_EQ(Shell("cd '" + dir_.Native("elsewhere") + "' && env -u HOME -u XDG_CONFIG_HOME '" +
                  KELVANE_EXECUTABLE + "' '" + jobFile + "' -schedule daily"),
            3);
  EXPECT_FALSE(PathExists(dir_.Native("elsewhere/.config")));
}

}  // namespace
}  // namespace kelvane
