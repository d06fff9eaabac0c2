#include "profile/profile_store.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kelvane {
namespace {

TEST(ProfileStoreTest, MissingProfileReadsAsFallbacks) {
  test::TempDir dir;
  ProfileStore profile(dir.Wide("none/profile.json"));
  EXPECT_EQ(profile.GetInt("Main", "LoadRecentFile", 0), 0);
  EXPECT_EQ(profile.GetString("Main", "RecentFile", L"fallback"), L"fallback");
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

TEST(ProfileStoreTest, DefaultPathFollowsXdgConfigHome) {
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(ProfileStore::DefaultPath(), L"/tmp/xdg-test/Dravolo/Kelvane/profile.json");
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(ProfileStoreTest, AMalformedProfileReadsAsEmpty) {
  test::TempDir dir;
  test::WriteBytes(dir.Native("profile.json"), "{\"Main\": [1, 2");
  ProfileStore profile(dir.Wide("profile.json"));
  EXPECT_EQ(profile.GetInt("Main", "LoadRecentFile", 5), 5);
}

}  // namespace
}  // namespace kelvane
