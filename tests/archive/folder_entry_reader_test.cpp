// A folder copy read back as entries: every folder, file and link, the files'
// bytes, and a link's target, the link never followed.
#include "archive/entry/folder_entry_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "platform/folder.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

TEST(FolderEntryReaderTest, GivesFoldersFilesAndLinksWithTheFilesBytes) {
  test::TempDir dir;
  test::WriteBytes(dir.Native("copy/a.txt"), "alpha");
  test::WriteBytes(dir.Native("copy/sub/b.txt"), "beta");
  test::WriteBytes(dir.Native("secret.txt"), "not to be read");
  ASSERT_EQ(::symlink("../secret.txt", dir.Native("copy/sub/link").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.Native("copy/pipe").c_str(), 0600), 0);  // never opened
  platform::Folder top;
  ASSERT_EQ(platform::Fs().OpenFolder(dir.Wide("copy"), &top).code(), 0);
  FolderEntryReader reader;
  const platform::Status opened = reader.Open(top);
  ASSERT_TRUE(opened.ok()) << platform::ToUtf8(opened.context());
  std::map<std::string, EntryType> types;
  std::map<std::string, test::KeptEntry> kept;
  for (const ArchiveEntry& entry : reader.entries()) {
    types[entry.name] = entry.type;
    kept[entry.name];
  }
  EXPECT_EQ(types, (std::map<std::string, EntryType>{{"a.txt", EntryType::kFile},
                                                     {"sub/", EntryType::kFolder},
                                                     {"sub/b.txt", EntryType::kFile},
                                                     {"sub/link", EntryType::kLink}}));
  EntryReading reading;
  reading.sinkFor = [&kept](const ArchiveEntry& entry) {
    return std::make_unique<test::KeepingSink>(&kept.at(entry.name));
  };
  reader.ReadAll(reading);
  EXPECT_EQ(kept["a.txt"].bytes, "alpha");
  EXPECT_EQ(kept["sub/b.txt"].bytes, "beta");
  EXPECT_EQ(kept["sub/link"].bytes, "../secret.txt") << "a link's bytes are its target";
  for (const auto& [name, entry] : kept) EXPECT_EQ(entry.why, L"") << name;
}

}  // namespace
}  // namespace kelvane
