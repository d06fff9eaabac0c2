#include "util/path_util.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

TEST(PathUtilTest, TheFolderOfAPathEndsInTheSeparator) {
  struct Row {
    std::wstring path, folder;
  } rows[] = {
      // clang-format off
      {L"/home/ann/a.txt", L"/home/ann/"}, {L"/home/ann/", L"/home/ann/"}, {L"/a", L"/"},
      {L"/", L"/"}, {L"a.txt", L""}, {L"rel/dir/x", L"rel/dir/"},
      // clang-format on
  };
  for (const Row& row : rows) EXPECT_EQ(FolderOf(row.path), row.folder) << row.path;
}

// A path is made absolute and written one way before it names an include
// folder, so no stored name can start at the root or climb out with "..".
TEST(PathUtilTest, NormalPathsAreAbsoluteWithoutDotsOrDoubledSeparators) {
  std::wstring here = platform::AbsolutePath(L"");
  here.pop_back();  // the current folder, without its final separator
  struct Row {
    std::wstring path, normal;
  } rows[] = {
      {L"/home/ann", L"/home/ann"},
      {L"/home/ann/", L"/home/ann"},
      {L"//home///ann//", L"/home/ann"},
      {L"/home/./ann/.", L"/home/ann"},
      {L"/home/ann/../bob", L"/home/bob"},
      {L"/../../etc", L"/etc"},
      {L"/", L"/"},
      {L"/..", L"/"},
      {L"", here},
      {L".", here},
      {L"data/../data/sub", here + L"/data/sub"},
      {L"...", here + L"/..."},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(NormalPath(row.path), row.normal) << platform::ToNative(row.path);
  }
}

}  // namespace
}  // namespace kelvane
