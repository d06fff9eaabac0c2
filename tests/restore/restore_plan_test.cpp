// The plan a manifest gives a restore: what is refused before anything is
// written, what -only keeps, and which point a user's words name.

#include "restore/restore_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "restore/restore_points.h"

namespace kelvane {
namespace {

const char kHeader[] =
    R"({"kelvane_manifest":1,"archive":"A.zip","id":"i1","time":"2026-12-07T03:00:00Z","kind":"full"})";

std::string Line(const std::string& path, const std::string& type = "file",
                 const std::string& archive = "A.zip", const std::string& id = "i1") {
  std::string line = R"({"path":")" + path + R"(","type":")" + type + R"(","mode":"0644")";
  if (type != "folder") {
    line += R"(,"size":1,"archive":")" + archive + R"(","archive_id":")" + id +
            R"(","sha256":"0000000000000000000000000000000000000000000000000000000000000000")";
  }
  if (type == "link") line += R"(,"target":"/etc")";
  return line + "}";
}

RestorePlan Plan(const std::vector<std::string>& lines) {
  PlanBuilder builder;
  builder.AddLine(kHeader);
  for (const std::string& line : lines) builder.AddLine(line);
  return builder.Finish();
}

std::vector<std::string> Paths(const RestorePlan& plan) {
  std::vector<std::string> paths;
  for (const ManifestEntry& entry : plan.entries) paths.push_back(entry.path);
  return paths;
}

// Given entries a hostile or damaged manifest may hold, when the plan is
// made, then exactly those that could lead outside the folder, repeat a
// path, lie below a file or link, or name no plain archive are refused.
TEST(RestorePlanTest, RefusesWhatCouldWriteOutsideOrTwice) {
  const struct {
    std::string line;
    bool kept;
  } cases[] = {
      // clang-format off
      {Line("ok/file"), true}, {Line("../x"), false}, {Line("/etc/passwd"), false},
      {Line("a/../../x"), false},
      {Line("a//b"), false},
      {Line("a/./b"), false}, {Line("a/"), false},
      {R"({"path64":"YQBi","type":"file","size":1,"archive":"A.zip","archive_id":"i1"})", false},
      {Line("x", "file", "../A.zip"), false}, {Line("y", "file", "A.zip", "other-id"), false},
      {Line("ok/file"), false},  // twice
      {Line("link", "link"), true}, {Line("link/passwd"), false}, {Line("dir", "folder"), true},
      {Line("dir/inside"), true}, {"not json", false},
      // clang-format on
  };
  std::vector<std::string> lines;
  for (const auto& c : cases) lines.push_back(c.line);
  const RestorePlan plan = Plan(lines);
  EXPECT_EQ(Paths(plan), (std::vector<std::string>{"dir", "dir/inside", "link", "ok/file"}));
  EXPECT_EQ(plan.refusals.size(), 12u);
  EXPECT_EQ(plan.NeededArchives(), (std::map<std::string, std::string>{{"A.zip", "i1"}}));
}

// Given a tree, when -only names a folder and a pattern of files (with the
// leading "/" of a whole path), then the folder comes with everything below
// it, the matching files with the folders above them, and nothing else; a
// pattern that matches nothing is given back. Ticked paths match only
// themselves.
TEST(RestorePlanTest, OnlyKeepsMatchesWhatLiesBelowAndTheFoldersAbove) {
  RestorePlan plan =
      Plan({Line("home", "folder"), Line("home/ann", "folder"), Line("home/ann/Docs", "folder"),
            Line("home/ann/Docs/a.txt"), Line("home/ann/Docs/deep", "folder"),
            Line("home/ann/Docs/deep/b"), Line("home/ann/Docs-old", "folder"),
            Line("home/ann/Docs-old/c.txt"), Line("home/bob", "folder"), Line("home/bob/n.md"),
            Line("home/bob/x.txt")});
  RestorePlan ticked = plan;
  EXPECT_EQ(SelectOnly({L"home/ann/Docs", L"/home/bob/*.md", L"home/carol"}, &plan),
            std::vector<std::wstring>{L"home/carol"});
  EXPECT_EQ(Paths(plan),
            (std::vector<std::string>{"home", "home/ann", "home/ann/Docs", "home/ann/Docs/a.txt",
                                      "home/ann/Docs/deep", "home/ann/Docs/deep/b", "home/bob",
                                      "home/bob/n.md"}));
  // Paths ticked in the restore window are names, not patterns.
  EXPECT_EQ(
      SelectOnly({L"home/bob/*.md", L"home/ann/Docs/deep/b"}, &ticked, OnlyMatch::kExactPaths),
      std::vector<std::wstring>{L"home/bob/*.md"});
  EXPECT_EQ(Paths(ticked),
            (std::vector<std::string>{"home", "home/ann", "home/ann/Docs", "home/ann/Docs/deep",
                                      "home/ann/Docs/deep/b"}));
}

// Given three points, when a user names one by "latest", by its archive's
// name or by a local date and time, then the right one is chosen: for a
// time, the newest at or before it; a point without a manifest never. (The
// times lie hours from the points, so any usual time zone gives the same.)
TEST(RestorePointsTest, ChoosesThePointTheUserNames) {
  ASSERT_EQ(ManifestTime("2026-12-07T03:00:00Z"), 1796612400);
  EXPECT_EQ(ManifestTime("2026-12-07T04:00:00+01:00"), 1796612400);
  EXPECT_FALSE(ManifestTime("yesterday"));
  std::vector<RestorePoint> points(4);
  const char* names[] = {"D_4.zip", "D_3.zip", "D_2.zip", "D_1.zip"};
  for (int i = 0; i < 4; ++i) {
    points[i].target.name = std::wstring(names[i], names[i] + 7);
    points[i].hasManifest = i != 1;
    points[i].unixTime = 1796612400 - i * 86400;  // a day apart, newest first
  }
  EXPECT_EQ(ChoosePoint(points, L""), 0u);
  EXPECT_EQ(ChoosePoint(points, L"latest"), 0u);
  EXPECT_EQ(ChoosePoint(points, L"D_1.zip"), 3u);
  EXPECT_EQ(ChoosePoint(points, L"2026-12-06T12:00"), 2u);  // D_3 has no manifest
  EXPECT_EQ(ChoosePoint(points, L"2026-12-07T23:00"), 0u);
  EXPECT_FALSE(ChoosePoint(points, L"2026-12-01T00:00"));
  EXPECT_FALSE(ChoosePoint(points, L"D_9.zip"));
}

}  // namespace
}  // namespace kelvane
