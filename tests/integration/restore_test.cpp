// Restores through the real executable. A dated incremental job runs on four
// "days" (faketime moves the program's clock, never the files' times) over a
// tree that changes between runs; cp -a snapshots are what each point must
// give back.

#include <gtest/gtest.h>

#include <string>

#include "integration/cli_test_support.h"
#include "job/backup_job.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::CliResult;
using test::WriteBytes;

class RestoreTest : public test::JobRunTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  RestoreTest() : JobRunTest(GetParam()) {
    job_.AddDate = true;
    job_.ArchiveBitGet = true;
    job_.ArchiveBitSet = true;
    job_.IncludeHiddenFiles = true;
    job_.SkipFilesWithoutExtension = false;
    job_.TestFiles = true;
    job_.IncludeLinks = true;
    job_.BlackList.clear();
  }

  // The program on day `day` at 03:00 by its clock.
  int Kelvane(int day, const std::string& args) {
    return KelvaneAt("2026-12-0" + std::to_string(day) + " 03:00:00", args);
  }
  void RunDay(int day) {
    ASSERT_EQ(Kelvane(day, cli_.WriteJob(job_) + " -start"), 0) << output_;
    ASSERT_EQ(Shell("cp -a src snap" + std::to_string(day)), 0) << output_;
  }
  // Where the sources come back below a restore's folder.
  std::string Restored(const std::string& folder) { return dir_.path() + "/" + folder + src_; }

  // Four runs: files changed, added and deleted, a folder renamed, a link
  // changed, a mode changed, an owner that is not root, an extended
  // attribute, a file with holes, an empty folder.
  void MakeChain() {
    File("docs/a.txt", "one");
    File("docs/sub/b.txt", "two");
    File("keep.txt", "kept", 0600);
    ASSERT_EQ(Shell("ln -s a.txt src/docs/link && mkdir src/empty && "
                    "chown 65534:65534 src/docs/sub/b.txt && "
                    "setfattr -n user.origin -v scanner src/docs/sub/b.txt && "
                    "truncate -s 8M src/holes.img && printf x >> src/holes.img"),
              0);
    RunDay(1);
    File("docs/a.txt", "changed");
    File("docs/new.txt", "new");
    ASSERT_EQ(Shell("rm src/keep.txt"), 0);
    RunDay(2);
    ASSERT_EQ(Shell("mv src/docs/sub src/docs/moved && ln -sfn new.txt src/docs/link && "
                    "chmod 640 src/docs/a.txt"),
              0);
    RunDay(3);
    File("docs/new.txt", "new, again");
    ASSERT_EQ(Shell("mkdir src/empty2 && rm src/docs/a.txt"), 0);
    RunDay(4);
  }
};

// Given four points of a chain, when each is restored by its date into an
// empty folder, then each gives exactly the tree of its day (bytes, types,
// modes, owners, times, link targets), with no deleted file coming back; and
// the newest archive copied with its siblings but without the job (and
// without the manifests beside them) gives the newest tree, and the full one
// copied under another name its own. A drill of the newest point finds
// nothing damaged, changed or missing.
TEST_P(RestoreTest, EveryPointComesBackExactlyAsItWas) {
  MakeChain();
  for (int day = 1; day <= 4; ++day) {
    const std::string folder = "r" + std::to_string(day);
    ASSERT_EQ(Kelvane(5, "job.kvnjob -restore -to " + folder + " -at 2026-12-0" +
                             std::to_string(day) + "T12:00"),
              0)
        << output_;
    ExpectSameTree(dir_.path() + "/snap" + std::to_string(day), Restored(folder), true, true);
  }
  // What the listing does not show: the attribute and the holes.
  ASSERT_EQ(Shell("getfattr --only-values -n user.origin r4" + src_ +
                  "/docs/moved/b.txt && "
                  "stat -c %b r4" +
                  src_ + "/holes.img"),
            0)
      << output_;
  EXPECT_EQ(output_.substr(0, 7), "scanner") << output_;
  EXPECT_LT(std::stoi(output_.substr(7)), 64) << "blocks of an 8 MiB file with one byte";
  ASSERT_EQ(Kelvane(5, "job.kvnjob -compare"), 0) << output_;
  EXPECT_NE(output_.find("0 damaged in the archive, 0 changed since, 0 missing now"),
            std::string::npos)
      << output_;
  ASSERT_EQ(Shell("mkdir copied && cp -a out/Daily_2026-12-0?_03-00* copied/ && "
                  "rm copied/*.kvnman && ls copied | grep -v kvnman | tail -1"),
            0);
  const std::string newest = output_.substr(0, output_.find('\n'));
  ASSERT_EQ(Kelvane(5, "copied/" + newest + " -restore -to alone"), 0) << output_;
  ExpectSameTree(dir_.path() + "/snap4", Restored("alone"), true, true);
  // The full backup copied under a name of the user's restores from itself.
  ASSERT_EQ(Shell("f=$(cd out && ls -d Daily_2026-12-01_03-00* | grep -v kvn) && mkdir renamed && "
                  "cp -a out/$f renamed/before-the-upgrade${f#Daily_2026-12-01_03-00} && "
                  "echo -n before-the-upgrade${f#Daily_2026-12-01_03-00}"),
            0);
  ASSERT_EQ(Kelvane(5, "renamed/" + output_ + " -restore -to r1again"), 0) << output_;
  ExpectSameTree(dir_.path() + "/snap1", Restored("r1again"), true, true);
}

// Given a chain whose third archive is gone, when the newest point is listed
// and restored, then the list calls it incomplete (and says its check
// passed) and the restore refuses
// with status 2, naming the archive, and writes nothing; an older point that
// does not need it still restores.
TEST_P(RestoreTest, RefusesAPointWhoseChainIsIncomplete) {
  MakeChain();
  ASSERT_EQ(Shell("mv out/Daily_2026-12-03_03-00* ."), 0);
  ASSERT_EQ(Kelvane(5, "job.kvnjob -list"), 0);
  EXPECT_NE(output_.find("Daily_2026-12-03_03-00"), std::string::npos) << output_;
  EXPECT_NE(output_.find("INCOMPLETE"), std::string::npos) << output_;
  EXPECT_NE(output_.find("check passed"), std::string::npos) << output_;
  EXPECT_EQ(Kelvane(5, "job.kvnjob -restore -to r"), 2);
  EXPECT_NE(output_.find("Daily_2026-12-03_03-00"), std::string::npos) << output_;
  EXPECT_FALSE(test::PathExists(dir_.path() + "/r"));
  ASSERT_EQ(Kelvane(5, "job.kvnjob -restore -to r2 -at 2026-12-02T04:00"), 0) << output_;
  ExpectSameTree(dir_.path() + "/snap2", Restored("r2"), true, true);
}

INSTANTIATE_TEST_SUITE_P(EveryTarget, RestoreTest,
                         ::testing::Values(kJobTypeZip, kJobTypeSevenZip, kJobTypeFolder),
                         [](const ::testing::TestParamInfo<uint32_t>& type) {
                           return type.param == kJobTypeZip        ? std::string("Zip")
                                  : type.param == kJobTypeSevenZip ? std::string("SevenZip")
                                                                   : std::string("Folder");
                         });

class ZipRestoreTest : public test::JobRunTest {
 protected:
  ZipRestoreTest() : JobRunTest(kJobTypeZip) {}
};

// Given a backup whose one file's data has a flipped byte, when it is
// restored, then the other files come back, the damaged one is named and
// not left under its name (nor as a temporary file), and the status is 1, in
// the summary too;
// a drill names it as damaged in the archive, status 1.
TEST_F(ZipRestoreTest, DamagedFileIsNamedAndNotLeft) {
  File("good.txt", std::string(5000, 'g'));
  File("bad.txt", std::string(5000, 'b'));
  ASSERT_EQ(RunJob().status, 0);
  // The first run of b's stored bytes: flip one in the middle of the data.
  ASSERT_EQ(
      Shell("python3 -c \"import zipfile,sys\n"
            "p='out/Daily.zip'; z=zipfile.ZipFile(p)\n"
            "i=[e for e in z.infolist() if e.filename.endswith('bad.txt')][0]\n"
            "o=i.header_offset+30+len(i.filename)+len(i.extra)+i.compress_size//2\n"
            "f=open(p,'r+b'); f.seek(o); b=f.read(1); f.seek(o); f.write(bytes([b[0]^255]))\""),
      0)
      << output_;
  const CliResult restored = cli_.Run({cli_.WriteJob(job_), "-restore", "-to", dir_.Native("r"),
                                       "-summary", dir_.Native("s.json")});
  EXPECT_EQ(restored.status, 1) << restored.output;
  const std::string summary = test::ReadBytes(dir_.Native("s.json"));
  for (const char* member : {R"("outcome" : "completed_with_errors")", R"("filesSaved" : 1)",
                             R"("filesFailed" : 1)", R"("verification" : "failed")"}) {
    EXPECT_NE(summary.find(member), std::string::npos) << member << "\n" << summary;
  }
  EXPECT_NE(restored.output.find("could not be restored"), std::string::npos) << restored.output;
  EXPECT_EQ(test::ReadBytes(dir_.path() + "/r" + src_ + "/good.txt"), std::string(5000, 'g'));
  ASSERT_EQ(Shell("find r -name '*bad*' -o -name '*.tmp'"), 0);
  EXPECT_EQ(output_, "");
  EXPECT_NE(test::ReadBytes(dir_.path() + "/r.restore.log").find("bad.txt"), std::string::npos);
  const CliResult drill = cli_.Run({cli_.WriteJob(job_), "-compare"});
  EXPECT_EQ(drill.status, 1) << drill.output;
  EXPECT_NE(drill.output.find("damaged: " + src_ + "/bad.txt"), std::string::npos) << drill.output;
}

// Given a ZIP with a password, when it is restored through its job, then
// with the job's password; named instead of the job, then a wrong password
// from standard input refuses before anything is written (status 2), and the
// right one restores, through the job too once its password has changed.
TEST_F(ZipRestoreTest, APasswordArchiveNeedsItsPasswordBeforeAnythingIsWritten) {
  File("a.txt", "secret data");
  job_.ArchivePassword = L"pass word";
  ASSERT_EQ(RunJob().status, 0);
  const CliResult withJob = cli_.Run({cli_.WriteJob(job_), "-restore", "-to", dir_.Native("r1")});
  EXPECT_EQ(withJob.status, 0) << withJob.output;
  EXPECT_EQ(test::ReadBytes(dir_.Native("r1") + src_ + "/a.txt"), "secret data");
  const std::string restore = "env -u DISPLAY XDG_CONFIG_HOME=$PWD/config " KELVANE_EXECUTABLE " " +
                              out_ + "/Daily.zip -restore -password-stdin -to ";
  EXPECT_EQ(Shell("printf 'wrong\\n' | " + restore + "r2"), 2) << output_;
  EXPECT_FALSE(test::PathExists(dir_.Native("r2")));
  EXPECT_EQ(Shell("printf 'pass word\\n' | " + restore + "r3"), 0) << output_;
  EXPECT_EQ(test::ReadBytes(dir_.Native("r3") + src_ + "/a.txt"), "secret data");
  // The job's password changed since: the old one from standard input.
  job_.ArchivePassword = L"new one";
  EXPECT_EQ(
      Shell("printf 'pass word\\n' | env -u DISPLAY XDG_CONFIG_HOME=$PWD/config " KELVANE_EXECUTABLE
            " " +
            cli_.WriteJob(job_) + " -restore -password-stdin -to r4"),
      0)
      << output_;
  EXPECT_EQ(test::ReadBytes(dir_.Native("r4") + src_ + "/a.txt"), "secret data");
}

// Given a backup, when it is restored into a folder that holds a file, or
// that other users may write to, or with an -only that matches nothing, then
// it refuses (status 2; 3) and writes nothing there; with -overwrite it replaces the file (a link
// planted at the name is replaced, never followed) and leaves the other file alone.
TEST_F(ZipRestoreTest, RefusesAFolderInUseUnlessAskedToOverwrite) {
  File("a.txt", "backed up");
  ASSERT_EQ(RunJob().status, 0);
  ASSERT_EQ(Shell("mkdir -p busy/" + src_ +
                  " shared && echo mine > busy/other.txt && "
                  "chmod 1777 shared && echo secret > secret.txt && "
                  "ln -s " +
                  dir_.path() + "/secret.txt busy/" + src_ + "/a.txt"),
            0);
  const std::string job = cli_.WriteJob(job_);
  for (const char* folder : {"busy", "shared"}) {
    const CliResult refused = cli_.Run({job, "-restore", "-to", dir_.Native(folder)});
    EXPECT_EQ(refused.status, 2) << folder << ": " << refused.output;
  }
  // A pattern that matches nothing is a typing error, not an empty restore.
  const CliResult typo = cli_.Run({job, "-restore", "-to", dir_.Native("shared"), "-overwrite",
                                   "-only", "*.txt", "-only", "*.odt"});
  EXPECT_EQ(typo.status, 3) << typo.output;
  EXPECT_NE(typo.output.find("-only \"*.odt\" matches nothing"), std::string::npos) << typo.output;
  EXPECT_EQ(Shell("ls -A shared"), 0);
  EXPECT_EQ(output_, "");
  const CliResult replaced = cli_.Run({job, "-restore", "-to", dir_.Native("busy"), "-overwrite"});
  EXPECT_EQ(replaced.status, 0) << replaced.output;
  EXPECT_EQ(test::ReadBytes(dir_.Native("busy") + src_ + "/a.txt"), "backed up");
  EXPECT_EQ(test::ReadBytes(dir_.Native("secret.txt")), "secret\n");
  EXPECT_EQ(test::ReadBytes(dir_.Native("busy/other.txt")), "mine\n");
}

// Given a restore whose log cannot grow (ulimit -f 0; the files are empty
// and restore), then it says so after its outcome instead of leaving the
// user an empty log.
TEST_F(ZipRestoreTest, ALogThatCannotBeWrittenIsSaid) {
  File("empty.txt", "");
  ASSERT_EQ(RunJob().status, 0);
  EXPECT_EQ(
      Shell("(trap '' XFSZ; ulimit -f 0; exec env XDG_CONFIG_HOME=$PWD/config " KELVANE_EXECUTABLE
            " '" +
            cli_.WriteJob(job_) + "' -restore -to r)"),
      0)
      << output_;
  EXPECT_NE(output_.find("The log " + dir_.path() + "/r.restore.log could not be written."),
            std::string::npos)
      << output_;
}

// Given an archive from elsewhere whose manifest names "../x", "/etc/x", an
// empty component, and a link to a folder outside followed by a file below
// it, when it is restored, then only the plain file arrives, nothing is
// written outside the folder, each refusal is logged, and the status is 1.
TEST_F(ZipRestoreTest, HostileArchiveWritesNothingOutsideTheFolder) {
  WriteBytes(dir_.Native("evil.py"),
             "import zipfile, json, hashlib, os\n"
             "outside = os.path.abspath('outside')\n"
             "entries = []\n"
             "z = zipfile.ZipFile('evil.zip', 'w')\n"
             "def add(path, data, kind='file'):\n"
             "  z.writestr(path, data)\n"
             "  entries.append({'path': path, 'type': kind, 'size': len(data), 'mtime': 1,\n"
             "    'mode': '0644', 'uid': 0, 'gid': 0, 'target': data if kind == 'link' else '',\n"
             "    'sha256': hashlib.sha256(data.encode()).hexdigest(),\n"
             "    'archive': 'evil.zip', 'archive_id': 'id1'})\n"
             "for path in ['../x', '/etc/x', 'ok//x', 'ok/good.txt']: add(path, 'data')\n"
             "add('a', outside, 'link')\n"
             "add('a/passwd', 'pw')\n"
             "head = {'kelvane_manifest': 1, 'archive': 'evil.zip', 'id': 'id1',\n"
             "  'time': '2026-12-07T03:00:00Z', 'kind': 'full'}\n"
             "z.writestr('.kelvane/manifest.jsonl',\n"
             "  ''.join(json.dumps(l) + '\\n' for l in [head] + entries))\n");
  ASSERT_EQ(Shell("mkdir outside && python3 evil.py"), 0) << output_;
  const CliResult restored =
      cli_.Run({dir_.Native("evil.zip"), "-restore", "-to", dir_.Native("r")});
  EXPECT_EQ(restored.status, 1) << restored.output;
  ASSERT_EQ(Shell("{ find r outside /etc/x x 2>/dev/null; true; } | sort"), 0);
  EXPECT_EQ(output_, "outside\nr\nr/a\nr/ok\nr/ok/good.txt\n");
  const std::string log = test::ReadBytes(dir_.path() + "/r.restore.log");
  for (const char* refused :
       {"../x: refused", "/etc/x: refused", "ok//x: refused", "a/passwd: refused"}) {
    EXPECT_NE(log.find(refused), std::string::npos) << refused << "\n" << log;
  }
}

}  // namespace
}  // namespace kelvane
