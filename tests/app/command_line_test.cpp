#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command.h"

namespace kelvane {
namespace {

struct Row {
  std::vector<std::wstring> tokens;  // after the program
  std::wstring file;
  bool start;
  bool minimize;
};

std::string Describe(const std::vector<std::wstring>& tokens) {
  std::string out;
  for (const auto& t : tokens) out += std::string(t.begin(), t.end()) + " ";
  return out;
}

TEST(CommandLineTest, ReadsFileStartAndMinimize) {
  const Row rows[] = {
      {{L"/home/ann/My Jobs/daily.kvnjob"}, L"/home/ann/My Jobs/daily.kvnjob", false, false},
      {{L"\"quoted job.kvnjob\""}, L"quoted job.kvnjob", false, false},
      {{L"job.kvnjob", L"-start"}, L"job.kvnjob", true, false},
      {{L"job.kvnjob", L"/START"}, L"job.kvnjob", true, false},
      {{L"job.kvnjob", L"-Start", L"false"}, L"job.kvnjob", false, false},
      {{L"job.kvnjob", L"-start", L"0"}, L"job.kvnjob", false, false},
      {{L"job.kvnjob", L"-start", L"TRUE"}, L"job.kvnjob", false, false},  // values are exact
      {{L"job.kvnjob", L"-start", L"true"}, L"job.kvnjob", true, false},
      {{L"-file", L"/srv/job.kvnjob", L"-start"}, L"/srv/job.kvnjob", true, false},
      {{L"-start", L"-file", L"j.kvnjob"}, L"j.kvnjob", true, false},
      {{L"-start"}, L"", true, false},  // a switch first is no file
      {{L"j.kvnjob", L"-minimize", L"-start"}, L"j.kvnjob", true, true},
      {{L"j.kvnjob", L"-minimize"}, L"j.kvnjob", false, true},
      {{L"j.kvnjob", L"stray", L"-start"}, L"j.kvnjob", true, false},
      {{L"-"}, L"", false, false},
      {{}, L"", false, false},
  };
  for (const Row& row : rows) {
    std::vector<std::wstring> tokens = {L"kelvane"};
    tokens.insert(tokens.end(), row.tokens.begin(), row.tokens.end());
    CommandLineArgs args(KnownSwitches());
    args.Parse(tokens);
    EXPECT_EQ(args.Value(L"file"), row.file) << Describe(row.tokens);
    EXPECT_EQ(args.Flag(L"start"), row.start) << Describe(row.tokens);
    EXPECT_EQ(args.Flag(L"MINIMIZE"), row.minimize) << Describe(row.tokens);
  }
}

TEST(CommandLineTest, ReportsUnknownSwitches) {
  CommandLineArgs args(KnownSwitches());
  args.Parse({L"kelvane", L"job.kvnjob", L"-start", L"-frobnicate", L"-console"});
  EXPECT_EQ(args.UnknownSwitches(), std::vector<std::wstring>{L"frobnicate"});
  EXPECT_TRUE(args.Has(L"console"));
  args.Parse({L"kelvane", L"/not-a-switch/job.kvnjob"});
  EXPECT_TRUE(args.UnknownSwitches().empty());
  EXPECT_EQ(args.Value(L"file"), L"/not-a-switch/job.kvnjob");
}

TEST(CommandLineTest, ReadsAtMostOneHundredTokens) {
  std::vector<std::wstring> tokens = {L"kelvane", L"job.kvnjob"};
  for (int i = 0; i < 97; ++i) tokens.push_back(L"filler");
  tokens.push_back(L"-minimize");  // token 99: still read
  tokens.push_back(L"-start");     // token 100: ignored
  for (int i = 0; i < 1000; ++i) tokens.push_back(L"-junk" + std::to_wstring(i));
  CommandLineArgs args(KnownSwitches());
  args.Parse(tokens);
  EXPECT_TRUE(args.Flag(L"minimize"));
  EXPECT_FALSE(args.Has(L"start"));
  EXPECT_TRUE(args.UnknownSwitches().empty());
}

}  // namespace
}  // namespace kelvane
