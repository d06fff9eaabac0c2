// The notices at a run's end through the real executable, received by
// stand-ins on the loopback address and a session bus of the test's own: an
// HTTP server (notice_servers.py), aiosmtpd, and a notification service
// watched with dbus-monitor.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "integration/cli_test_support.h"
#include "job/backup_job.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

class NotifyTest : public test::JobRunTest {
 protected:
  NotifyTest() : JobRunTest(kJobTypeZip) { File("a.txt", "alpha"); }
  ~NotifyTest() override {
    for (const pid_t server : servers_) {
      ::kill(server, SIGTERM);
      ::waitpid(server, nullptr, 0);
    }
  }
  // Runs `argv` in the background until the test ends; waits until it
  // listens on `port`.
  void Serve(std::vector<std::string> argv, int port) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::chdir(dir_.path().c_str());
      std::vector<char*> args;
      for (std::string& arg : argv) args.push_back(arg.data());
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    servers_.push_back(pid);
    Shell("for i in $(seq 100); do bash -c ': > /dev/tcp/127.0.0.1/" + std::to_string(port) +
          "' 2>/dev/null && break; sleep 0.1; done");
  }
  int Port(int base) const { return base + ::getpid() % 5000; }
  std::string Job() { return cli_.WriteJob(job_, "Daily.kvnjob"); }

  const std::string script_ = NOTICE_SERVERS;
  std::vector<pid_t> servers_;
};

// Given a run that fails (an include folder is missing) with a webhook of the
// Healthchecks kind, the start arrives before the run's JSON summary, which
// goes to URL/fail and says "aborted"; a server that never answers holds
// the end no longer than the time limit, and the status stays 2.
TEST_F(NotifyTest, AFailedRunPostsItsSummaryAfterTheStartPing) {
  const std::string url = "http://127.0.0.1:" + std::to_string(Port(35000));
  Serve({"/usr/bin/python3", script_, "http", std::to_string(Port(35000)), "posts.jsonl"},
        Port(35000));
  job_.IncludeFolders.push_back(dir_.Wide("unplugged"));
  job_.NotifyDesktop = 2;  // no session bus here: nothing, and no error
  job_.NotifyWebhook = platform::FromNative(url + "/ping/0f2c");
  EXPECT_EQ(KelvaneAt("2026-12-08 03:00:00", Job() + " -start -summary s.json"), 2) << output_;
  EXPECT_EQ(output_.find("desktop"), std::string::npos) << output_;
  ASSERT_EQ(
      Shell(
          "/usr/bin/python3 -c 'import json, sys\n"
          "for r in map(json.loads, sys.stdin):\n"
          "  print(r[\"path\"], r[\"type\"], r[\"body\"] and json.loads(r[\"body\"])[\"outcome\"])'"
          " < posts.jsonl"),
      0)
      << output_;
  EXPECT_EQ(output_,
            "/ping/0f2c/start application/json \n/ping/0f2c/fail application/json aborted\n");
  ASSERT_EQ(Shell("grep -c '\"result\" : \"sent\"' s.json"), 0) << output_;
  EXPECT_EQ(output_, "2\n");

  job_.NotifyWebhook = platform::FromNative(url + "/hang");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KelvaneAt("2026-12-08 03:00:00", Job() + " -start"), 2) << output_;
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(10 + 8)) << "the hung webhook held the run";
  EXPECT_NE(output_.find("Notice by webhook " + url + "/hang: not sent:"), std::string::npos)
      << output_;
}

// Given the user's mail server in the profile (here aiosmtpd on the
// loopback, which alone may go without TLS), a run delivers one mail whose
// subject names the job and the outcome, with the log attached; -notify-test
// sends one more; -list then says how the last backup went, and before any
// run that there was none.
TEST_F(NotifyTest, AMailNamesTheJobAndTheOutcomeAndTheLastBackupIsInSight) {
  const int port = Port(40000);
  Serve({"/usr/bin/python3", "-m", "aiosmtpd", "-n", "-l", "127.0.0.1:" + std::to_string(port),
         "-c", "aiosmtpd.handlers.Mailbox", dir_.Native("mail")},
        port);
  test::WriteBytes(dir_.Native("config/Dravolo/Kelvane/profile.json"),
                   R"({"Mail": {"Server": "127.0.0.1", "Port": )" + std::to_string(port) +
                       R"(, "Security": "none", "From": "kelvane@example.org"}})");
  job_.NotifyMail = {L"ops@example.org"};
  job_.NotifyOn = 1;
  job_.LogFiles = true;  // a log to attach
  ASSERT_EQ(Shell("mkdir out"), 0);
  ASSERT_EQ(KelvaneAt("2026-12-06 03:00:00", Job() + " -list"), 0) << output_;
  EXPECT_EQ(output_.substr(0, output_.find('\n')), "Last backup: never");
  ASSERT_EQ(KelvaneAt("2026-12-06 03:00:00", Job() + " -start"), 0) << output_;
  EXPECT_NE(output_.find("Notice by mail to ops@example.org: sent."), std::string::npos) << output_;
  ASSERT_EQ(
      Shell("/usr/bin/python3 -c 'import email, email.header, glob, sys\n"
            "for p in glob.glob(\"mail/new/*\"):\n"
            "  m = email.message_from_binary_file(open(p, \"rb\"))\n"
            "  print(str(email.header.make_header(email.header.decode_header(m[\"Subject\"]))),"
            " m[\"To\"], [part.get_filename() for part in m.walk() if part.get_filename()])'"),
      0)
      << output_;
  EXPECT_EQ(output_, "Kelvane: Daily completed ops@example.org ['Daily.log']\n");
  EXPECT_EQ(KelvaneAt("2026-12-06 03:00:00", Job() + " -notify-test"), 0) << output_;
  EXPECT_EQ(Shell("ls mail/new | wc -l"), 0);
  EXPECT_EQ(output_, "2\n");

  ASSERT_EQ(KelvaneAt("2026-12-08 04:00:00", Job() + " -list"), 0) << output_;
  EXPECT_EQ(output_.substr(0, output_.find('\n')), "Last backup: completed 2 days ago") << output_;
  ASSERT_EQ(Shell("stat -c %a out/Daily.kvnlast.json"), 0) << output_;
  EXPECT_EQ(output_, "600\n");
}

// Given a console run whose job asks for a desktop notice always, under a
// session bus with a notification service, the service is called once; a
// clean run leaves no log, and neither the notice nor the summary names one.
TEST_F(NotifyTest, AConsoleRunNotifiesTheDesktopOnce) {
  job_.NotifyDesktop = 2;
  const std::string run =
      "XDG_CONFIG_HOME=$PWD/config " KELVANE_EXECUTABLE " " + Job() + " -start -console";
  ASSERT_EQ(Shell("dbus-run-session -- sh -c '/usr/bin/python3 " + script_ +
                  " notifyd > daemon.txt & d=$!; "
                  "dbus-monitor \"interface=org.freedesktop.Notifications\" > monitor.txt & m=$!; "
                  "for i in $(seq 100); do grep -q ready daemon.txt && grep -q NameAcquired "
                  "monitor.txt && break; sleep 0.1; done; " +
                  run +
                  " 2> run.txt; s=$?; "
                  // The monitor hears the call a moment after the run ends:
                  // killed at once, it may not have written it yet.
                  "for i in $(seq 50); do grep -q \"member=Notify\\$\" monitor.txt && break; "
                  "sleep 0.1; done; sleep 0.3; kill $m $d; exit $s'"),
            0)
      << output_;
  EXPECT_EQ(Shell("grep -c 'member=Notify$' monitor.txt"), 0) << output_;
  EXPECT_EQ(output_, "1\n");
  EXPECT_NE(test::ReadBytes(dir_.Native("run.txt")).find("Notice by desktop: sent."),
            std::string::npos);
  EXPECT_EQ(test::ReadBytes(dir_.Native("monitor.txt")).find("Daily.log"), std::string::npos);
  EXPECT_NE(test::ReadBytes(dir_.Native("out/Daily.kvnlast.json")).find("\"log\" : \"\""),
            std::string::npos);
}

}  // namespace
}  // namespace kelvane
