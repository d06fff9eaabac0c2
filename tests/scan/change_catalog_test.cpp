// The change catalog's text form and its rules: what it reads back is what
// it wrote, whatever the names hold; anything else is damage, never a guess;
// and only confirmed or newly saved files survive a run.
#include "scan/change_catalog.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvane {
namespace {

FileIdentity Identity(uint64_t inode, uint64_t change = 1000) {
  return FileIdentity{{2049, inode}, 10, 133000000000000000, change};
}

TEST(ChangeCatalogTest, NamesOfAnyBytesReadBackExactly) {
  ChangeCatalog catalog;
  const std::string odd[] = {"/src/new\nline.txt", "/src/tab\there\\x41", "/src/caf\xE9",
                             std::string("/src/\x7F\x01\x1F", 8)};
  for (size_t i = 0; i < 4; ++i) catalog.Record(odd[i], Identity(i), L"Daily_2026-12-05_09-07.zip");
  catalog.Record("/src/plain.txt", Identity(9), L"Daily\nforged.zip");
  const std::string text = catalog.Text();
  // One line per record: nothing in a name starts a line of its own.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 2 + 5 + 1) << text;

  ChangeCatalog back;
  ASSERT_TRUE(back.Parse(text).ok());
  EXPECT_EQ(back.size(), 5u);
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(back.IsUnchanged(odd[i], Identity(i))) << i;
  EXPECT_TRUE(back.IsUnchanged("/src/plain.txt", Identity(9)));
  EXPECT_EQ(back.targets()[1], L"Daily\nforged.zip");
}

TEST(ChangeCatalogTest, AnyDifferenceInTheIdentityCountsAsChanged) {
  ChangeCatalog catalog;
  catalog.Record("/a", Identity(5), L"Daily");
  EXPECT_TRUE(catalog.IsUnchanged("/a", Identity(5)));
  FileIdentity other = Identity(5);
  other.id.device = 2050;
  EXPECT_FALSE(catalog.IsUnchanged("/a", other));
  EXPECT_FALSE(catalog.IsUnchanged("/a", Identity(6)));
  other = Identity(5);
  other.size = 11;
  EXPECT_FALSE(catalog.IsUnchanged("/a", other));
  other = Identity(5);
  other.lastWriteTime += 1;
  EXPECT_FALSE(catalog.IsUnchanged("/a", other));
  EXPECT_FALSE(catalog.IsUnchanged("/a", Identity(5, 1001)));
  EXPECT_FALSE(catalog.IsUnchanged("/b", Identity(5)));
}

TEST(ChangeCatalogTest, DamageIsNamedAndLeavesTheCatalogEmpty) {
  ChangeCatalog good;
  good.Record("/a", Identity(1), L"Daily");
  good.Record("/b", Identity(2), L"Daily");
  const std::string text = good.Text();
  const std::string damaged[] = {
      "",
      text.substr(0, text.size() - 1),                                   // the last line cut
      text.substr(0, text.find("end")),                                  // the end record missing
      "kelvane change catalog 2\nend\t0\n",                              // another version
      text + "file\t0\t1\t2\t3\t4\t5\t/c\n",                             // after the end
      "kelvane change catalog 1\nfile\t0\t1\t2\t3\t4\t5\t/a\nend\t1\n",  // no target 0
      "kelvane change catalog 1\ntarget\tD\nfile\t0\t1\t2\t3\t4\t-5\t/a\nend\t1\n",
      "kelvane change catalog 1\ntarget\tD\nfile\t0\t1\t2\t3\t4\t05\t/a\nend\t1\n",
      "kelvane change catalog "
      "1\ntarget\tD\nfile\t0\t1\t2\t3\t4\t99999999999999999999\t/a\nend\t1\n",
      "kelvane change catalog 1\ntarget\tD\nfile\t0\t1\t2\t3\t4\t5\t/a\\x4\nend\t1\n",
      "kelvane change catalog 1\ntarget\tD\nfile\t0\t1\t2\t3\t4\t5\t/a\\X41\nend\t1\n",
      "kelvane change catalog 1\ntarget\tD\nfile\t0\t1\t2\t3\t4\t5\t\nend\t1\n",
      "kelvane change catalog "
      "1\ntarget\tD\nfile\t0\t1\t2\t3\t4\t5\t/a\nfile\t0\t1\t2\t3\t4\t5\t/a\nend\t2\n",
      "kelvane change catalog 1\ntarget\tD\nfile\t0\t1\t2\t3\t4\t5\t/a\nend\t2\n",
      "kelvane change catalog 1\ntarget\tD\tE\nend\t0\n",
      "kelvane change catalog 1\r\nend\t0\r\n",
  };
  for (const std::string& bad : damaged) {
    ChangeCatalog catalog;
    catalog.Record("/left", Identity(1), L"Daily");
    EXPECT_FALSE(catalog.Parse(bad).ok()) << bad;
    EXPECT_EQ(catalog.size(), 0u) << bad;
    EXPECT_TRUE(catalog.targets().empty()) << bad;
  }
}

TEST(ChangeCatalogTest, OnlyConfirmedAndNewlySavedFilesAreKept) {
  ChangeCatalog catalog;
  catalog.Record("/kept", Identity(1), L"Daily");
  catalog.Record("/deleted", Identity(2), L"Daily");
  catalog.Record("/changed", Identity(3), L"Daily");
  ChangeCatalog next;
  ASSERT_TRUE(next.Parse(catalog.Text()).ok());
  EXPECT_TRUE(next.IsUnchanged("/kept", Identity(1)));
  EXPECT_FALSE(next.IsUnchanged("/changed", Identity(4)));
  next.KeepConfirmed();
  // The run's files are written with the catalog, not kept in it; one that
  // the catalog held already is listed once, in the run's target.
  std::string text;
  next.WriteTextWith(
      [](const ChangeCatalog::FileVisit& visit) {
        visit("/changed", Identity(4));
        visit("/new", Identity(5));
      },
      L"Weekly", [&text](std::string_view piece) { return text += piece, true; });
  ChangeCatalog back;
  ASSERT_TRUE(back.Parse(text).ok()) << text;
  EXPECT_EQ(back.size(), 3u);
  EXPECT_TRUE(back.IsUnchanged("/kept", Identity(1)));
  EXPECT_TRUE(back.IsUnchanged("/changed", Identity(4)));
  EXPECT_TRUE(back.IsUnchanged("/new", Identity(5)));
  EXPECT_FALSE(back.IsUnchanged("/deleted", Identity(2)));
  back.ForEachConfirmed([](const std::string& path, const std::wstring& target) {
    EXPECT_EQ(target, path == "/kept" ? L"Daily" : L"Weekly") << path;
  });
}

}  // namespace
}  // namespace kelvane
