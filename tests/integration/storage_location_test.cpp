// Further storage locations through the real executable: a folder and real
// rclone servers on the loopback address (SFTP, whose remote reports MD5 and
// SHA-1, and WebDAV, which reports no hash), started by the test with a
// configuration of its own.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "integration/cli_test_support.h"
#include "job/backup_job.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

class StorageLocationTest : public test::JobRunTest {
 protected:
  StorageLocationTest() : JobRunTest(kJobTypeZip) {
    job_.AddDate = true;
    job_.SkipFilesWithoutExtension = false;
    job_.BlackList.clear();
    File("a.txt", "alpha");
    File("sub/b.bin", std::string(300000, 'b'));
    Shell("mkdir copy sftp dav && head -c 200000 /dev/urandom > src/random.bin");
    sftp_ = Serve("sftp", 22000 + ::getpid() % 5000);
    dav_ = Serve("webdav", 27000 + ::getpid() % 5000);
    ::setenv("RCLONE_CONFIG", dir_.Native("rclone.conf").c_str(), 1);
    job_.StorageLocations = {platform::FromNative(dir_.Native("copy")), L"s:kv", L"w:kv"};
  }
  ~StorageLocationTest() override {
    for (const pid_t server : {sftp_, dav_}) {
      ::kill(server, SIGTERM);
      ::waitpid(server, nullptr, 0);
    }
  }

  // Serves the folder of the same name with user u, password p; the remote
  // (its first letter) goes into the configuration.
  pid_t Serve(const std::string& kind, int port) {
    const std::string address = "127.0.0.1:" + std::to_string(port);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const std::string root = dir_.Native(kind == "sftp" ? "sftp" : "dav");
      ::execlp("rclone", "rclone", "serve", kind.c_str(), root.c_str(), "--addr", address.c_str(),
               "--user", "u", "--pass", "p", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const std::string section =
        kind == "sftp"
            ? "[s]\ntype = sftp\nhost = 127.0.0.1\nport = " + std::to_string(port) + "\nuser = u\n"
            : "[w]\ntype = webdav\nurl = http://" + address + "/\nuser = u\n";
    EXPECT_EQ(Shell("printf '" + section + "pass = %s\\n\\n' $(rclone obscure p) >> rclone.conf"),
              0);
    // Up once it answers a listing.
    Shell("for i in $(seq 50); do rclone lsd " + kind.substr(0, 1) +
          ": >/dev/null 2>&1 && break; sleep 0.1; done");
    return pid;
  }
  int RunOn(int day) {
    return KelvaneAt("2026-12-0" + std::to_string(day) + " 03:00:00",
                     cli_.WriteJob(job_) + " -start -summary summary.json");
  }
  std::string Listing(const std::string& folder) {
    Shell("ls -A " + folder);
    return output_;
  }

  pid_t sftp_ = -1;
  pid_t dav_ = -1;
};

TEST_F(StorageLocationTest, EveryLocationGetsTheSameBytesAndAMissingFolderFailsAlone) {
  job_.TestFiles = true;  // WebDAV has no hash: the upload is read back
  job_.StorageLocations.push_back(platform::FromNative(dir_.Native("unplugged")));
  EXPECT_EQ(RunOn(1), 1) << output_;
  const std::string archive = "Daily_2026-12-01_03-00.zip";
  Shell("cd out && sha256sum " + archive + " " + archive + ".kvnman > ../sums");
  for (const std::string at : {"copy", "sftp/kv", "dav/kv"}) {
    EXPECT_EQ(Listing(at), archive + "\n" + archive + ".kvnman\n") << at;
    EXPECT_EQ(Shell("cd " + at + " && sha256sum -c --quiet " + dir_.Native("sums")), 0)
        << at << output_;
  }
  EXPECT_NE(Shell("test -e unplugged"), 0) << "a missing location is never made";
  ASSERT_EQ(Shell("python3 -c \"import json; s = json.load(open('summary.json')); "
                  "print(s['exitStatus'], [l['result'] for l in s['locations']])\""),
            0);
  EXPECT_EQ(output_, "1 ['copied', 'copied', 'copied', 'failed']\n");
  EXPECT_EQ(
      Shell("grep -c 'Storage location .*unplugged: failed: Code: 2, No such file' out/Daily.log"),
      0)
      << output_;

  EXPECT_EQ(KelvaneAt("2026-12-01 04:00:00", cli_.WriteJob(job_) + " -dry-run"), 0);
  EXPECT_NE(output_.find("\nWould copy to s:kv.\nWould copy to w:kv.\n"), std::string::npos)
      << output_;

  // Each remote lists its point and restores it byte for byte.
  EXPECT_EQ(KelvaneAt("2026-12-01 04:00:00", cli_.WriteJob(job_) + " -list"), 0);
  EXPECT_NE(output_.find("At w:kv:\n2026-12-01 03:00  " + archive), std::string::npos) << output_;
  for (const std::string remote : {"s:kv", "w:kv"}) {
    EXPECT_EQ(KelvaneAt("2026-12-01 04:00:00", cli_.WriteJob(job_) + " -restore -to back-" +
                                                   remote.substr(0, 1) + " -from " + remote),
              0)
        << output_;
    ExpectSameTree(src_, dir_.Native("back-" + remote.substr(0, 1)) + src_, false, false);
  }
}

TEST_F(StorageLocationTest, EachLocationKeepsWhatThePolicyKeeps) {
  job_.KeepLast = 2;
  for (int day = 1; day <= 4; ++day) ASSERT_EQ(RunOn(day), 0) << output_;
  const std::string kept =
      "Daily_2026-12-03_03-00.zip\nDaily_2026-12-03_03-00.zip.kvnman\n"
      "Daily_2026-12-04_03-00.zip\nDaily_2026-12-04_03-00.zip.kvnman\n";
  for (const std::string at : {"copy", "sftp/kv", "dav/kv"}) EXPECT_EQ(Listing(at), kept) << at;
}

TEST_F(StorageLocationTest, AKilledUploadLeavesNoNameAndTheNextRunCatchesUp) {
  job_.StorageLocations = {L"s:kv"};
  Shell("head -c 3000000 /dev/urandom > src/big.bin");
  // Slowed so that the kill lands during the upload.
  ::setenv("RCLONE_BWLIMIT", "400k", 1);
  // Both interrupted runs start at the same time by their clock, so the
  // second makes the archive of the same name.
  const std::string eighth = "2026-12-08 03:00:00";
  const pid_t run = cli_.Start({cli_.WriteJob(job_), "-start"}, dir_.Native("run.txt"), eighth);
  Shell(
      "for i in $(seq 100); do ls -A sftp/kv 2>/dev/null | grep -q kvn-partial && break; "
      "sleep 0.1; done");
  ::kill(run, SIGKILL);
  test::Cli::Wait(run);
  ::unsetenv("RCLONE_BWLIMIT");
  // rclone ends with the run that started it, and writes nothing more.
  EXPECT_EQ(Shell("for i in $(seq 50); do pgrep -f '[r]clone copyto --ignore-times " + out_ +
                  "/' >/dev/null || exit 0; sleep 0.1; done; exit 1"),
            0)
      << "rclone outlived the killed run";
  Shell("ls -A sftp/kv");
  EXPECT_EQ(output_.find(".zip\n"), std::string::npos) << "only a partial: " << output_;
  EXPECT_NE(output_.find(".kvn-partial"), std::string::npos) << output_;

  ASSERT_EQ(RunOn(9), 0) << output_;
  Shell("ls out/*.zip | wc -l; ls sftp/kv/*.zip | wc -l; ls -A sftp/kv | grep -c partial");
  EXPECT_EQ(output_, "2\n2\n0\n") << "the killed run's backup follows with the next";

  // Cancelled (SIGTERM, as Ctrl-C) during the upload: the backup here stays,
  // the location does not get it, and the run says so.
  Shell("head -c 3000000 /dev/urandom > src/big.bin");
  ::setenv("RCLONE_BWLIMIT", "400k", 1);
  const pid_t cancelled =
      cli_.Start({cli_.WriteJob(job_), "-start"}, dir_.Native("run.txt"), eighth);
  Shell("for i in $(seq 100); do ls -A sftp/kv | grep -q kvn-partial && break; sleep 0.1; done");
  ::kill(cancelled, SIGTERM);
  EXPECT_EQ(test::Cli::Wait(cancelled), 1);
  ::unsetenv("RCLONE_BWLIMIT");
  // Started at the killed run's time, it replaced that backup here; the
  // location keeps the copy it had.
  Shell(
      "ls out/*.zip | wc -l; ls sftp/kv/*.zip | wc -l; grep -c 'Not copied to s:kv: cancelled' "
      "run.txt; cd out && for f in $(ls *.zip | grep -v 2026-12-09_03-00); do cmp -s $f "
      "../sftp/kv/$f || echo new; "
      "done");
  EXPECT_EQ(output_, "2\n2\n1\nnew\n");
}

}  // namespace
}  // namespace kelvane
