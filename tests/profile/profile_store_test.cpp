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

}  // namespace
}  // namespace kelvane
