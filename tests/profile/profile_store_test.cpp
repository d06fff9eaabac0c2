#include "profile/profile_store.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kelvane {
namespace {

// A profile that is missing, or not JSON, reads as the fallbacks.
TEST(ProfileStoreTest, MissingProfileReadsAsFallbacks) {
  test::TempDir dir;
  test::WriteBytes(dir.Native("bad/profile.json"), "{\"Main\": [1, 2");
  for (const char* path : {"none/profile.json", "bad/profile.json"}) {
    ProfileStore profile(dir.Wide(path));
    EXPECT_EQ(profile.GetInt("Main", "LoadRecentFile", 5), 5) << path;
    EXPECT_EQ(profile.GetString("Main", "RecentFile", L"fallback"), L"fallback") << path;
  }
}

TEST(ProfileStoreTest, WritesCreateTheFolderAndSurviveAReload) {
  test::TempDir dir;
  const std::wstring path = dir.Wide("cfg/Dravolo/Kelvane/profile.json");
  {
    ProfileStore profile(path);
    EXPECT_EQ(profile.WriteInt("Main", "LoadRecentFile", 1), 0u);
    EXPECT_EQ(profile.WriteString("Main", "RecentFile", L"/home/ann/Jobs/täglich.kvnjob"), 0u);
    EXPECT_EQ(profile.WriteString("Other", "Key", L"v"), 0u);
  }
  ProfileStore reloaded(path);
  EXPECT_EQ(reloaded.GetInt("Main", "LoadRecentFile", 0), 1);
  EXPECT_EQ(reloaded.GetString("Main", "RecentFile", L""), L"/home/ann/Jobs/täglich.kvnjob");
  EXPECT_EQ(reloaded.GetString("Other", "Key", L""), L"v");
  // A value of the other kind reads as the fallback.
  EXPECT_EQ(reloaded.GetInt("Main", "RecentFile", 7), 7);
}

}  // namespace
}  // namespace kelvane
