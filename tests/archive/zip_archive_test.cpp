// The ZIP writer's contract, with every archive checked by unzip and 7z.
#include "archive/zip/zip_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "archive/zip/zip_entry_reader.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using platform::FromNative;
using test::RunShell;
using test::WriteBytes;

class ZipArchiveTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& relative) const { return dir_.Native(relative); }

  ZipArchiveHandle* Create(const std::string& name, std::string_view password = {}, int level = 6) {
    std::unique_ptr<platform::FileStream> archive;
    std::unique_ptr<platform::FileStream> spool;
    for (auto [file, stream] : {std::pair{name, &archive}, std::pair{name + ".central", &spool}}) {
      EXPECT_EQ(
          platform::Fs().OpenStream(dir_.Wide(file), platform::FileStream::kCreate, stream).code(),
          0);
    }
    ZipArchiveHandle* handle = nullptr;
    EXPECT_TRUE(
        ZipCreateArchive(std::move(archive), std::move(spool), password, level, &handle).ok());
    EXPECT_NE(handle, nullptr);
    return handle;
  }

  // True when the file went in; `*error` (when given) the code of a failure.
  bool Add(ZipArchiveHandle* handle, const std::string& source, const std::wstring& entry,
           int* error = nullptr) {
    std::unique_ptr<platform::FileStream> stream;
    EXPECT_EQ(platform::Fs()
                  .OpenStream(dir_.Wide(source), platform::FileStream::kReadExisting, &stream)
                  .code(),
              0)
        << source;
    if (!stream) return false;
    const platform::Status added = ZipAddFile(handle, *stream, entry);
    if (error) *error = added.code();
    return added.ok();
  }

  // Exit status of a shell command run in the test folder, output kept.
  int Shell(const std::string& command) {
    output_.clear();
    return RunShell("cd '" + dir_.path() + "' && " + command + " 2>&1", &output_);
  }

  test::TempDir dir_;
  std::string output_;
};

TEST_F(ZipArchiveTest, LevelZeroStoresAndHigherLevelsDeflateSmaller) {
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "line " + std::to_string(i % 977) + " of a compressible text\n";
  WriteBytes(Path("text.txt"), text);
  uint64_t previous = UINT64_MAX;
  for (int level : {0, 1, 6, 9}) {
    const std::string name = "l" + std::to_string(level) + ".zip";
    ZipArchiveHandle* zip = Create(name, {}, level);
    ASSERT_TRUE(Add(zip, "text.txt", L"text.txt"));
    ASSERT_EQ(ZipCloseArchive(zip), 0);
    ASSERT_EQ(Shell("unzip -v " + name), 0) << output_;
    EXPECT_NE(output_.find(level == 0 ? "Stored" : "Defl:"), std::string::npos) << output_;
    struct stat status;
    ASSERT_EQ(::stat(Path(name).c_str(), &status), 0);
    EXPECT_LT(static_cast<uint64_t>(status.st_size), previous) << "level " << level;
    previous = static_cast<uint64_t>(status.st_size);
  }
  EXPECT_GT(previous, 0u);
}

TEST_F(ZipArchiveTest, PasswordEncryptsEveryEntry) {
  WriteBytes(Path("a.txt"), "secret a");
  WriteBytes(Path("b.txt"), std::string(50000, 's'));
  for (int level : {0, 9}) {
    const std::string name = "pw" + std::to_string(level) + ".zip";
    ZipArchiveHandle* zip = Create(name, "pässwörd 😀", level);
    ASSERT_TRUE(Add(zip, "a.txt", L"a.txt"));
    ASSERT_TRUE(Add(zip, "b.txt", L"b.txt"));
    ASSERT_EQ(ZipCloseArchive(zip), 0);
    EXPECT_EQ(Shell("unzip -P 'pässwörd 😀' -t " + name), 0) << output_;
    EXPECT_EQ(Shell("7z t '-ppässwörd 😀' " + name), 0) << output_;
    EXPECT_EQ(Shell("unzip -P 'pässwörd 😀' -p " + name + " a.txt"), 0);
    EXPECT_EQ(output_, "secret a");
    EXPECT_NE(Shell("unzip -P wrong -t " + name), 0);
    EXPECT_EQ(output_.find("OK"), std::string::npos) << "an entry opened with a wrong password:\n"
                                                     << output_;
    ASSERT_EQ(Shell("zipinfo -v " + name + " | grep -c 'file security status:.*encrypted'"), 0);
    EXPECT_EQ(output_, "2\n");
  }
}

// Given a file with the set-user-ID and set-group-ID bits, the entry keeps
// its permission bits but never those, and its time.
TEST_F(ZipArchiveTest, KeepsModesAndTimesButNoSpecialBits) {
  WriteBytes(Path("src/x"), "x");
  ASSERT_EQ(::chmod(Path("src/x").c_str(), 06750), 0);
  ASSERT_EQ(RunShell("touch -d '2021-03-04 05:06:08' '" + Path("src/x") + "'"), 0);
  ZipArchiveHandle* zip = Create("names.zip");
  ASSERT_TRUE(Add(zip, "src/x", L"x"));
  ASSERT_EQ(ZipCloseArchive(zip), 0);
  ASSERT_EQ(Shell("mkdir x && cd x && unzip -q ../names.zip"), 0) << output_;
  struct stat source, status;
  ASSERT_EQ(::stat(Path("src/x").c_str(), &source), 0);
  ASSERT_EQ(::stat(Path("x/x").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0750u);
  // DOS times keep even seconds; 08 is even, so the time comes back exactly.
  EXPECT_EQ(status.st_mtime, source.st_mtime);
}

// Given names that would land outside the folder they are extracted into, or
// that are too long for the format, the writer refuses them and goes on; a
// backslash stays part of a name.
TEST_F(ZipArchiveTest, RefusesBadNamesAndKeepsGoingAfterAFailedAdd) {
  WriteBytes(Path("a.txt"), "a");
  std::unique_ptr<platform::FileStream> stream;
  ASSERT_EQ(platform::Fs()
                .OpenStream(dir_.Wide("a.txt"), platform::FileStream::kReadExisting, &stream)
                .code(),
            0);
  EXPECT_FALSE(ZipAddFile(nullptr, *stream, L"a.txt").ok());
  EXPECT_EQ(ZipCloseArchive(nullptr), 0);
  ZipArchiveHandle* zip = Create("out.zip");
  int error = 0;
  EXPECT_FALSE(Add(zip, "a.txt", std::wstring(kZipMaxEntryName + 1, L'n'), &error));
  EXPECT_EQ(error, ENAMETOOLONG);
  for (const wchar_t* name :
       {L"", L"/etc/passwd", L"../a.txt", L"a/../../b", L"a/./b", L"a//b", L"a/", L".."}) {
    EXPECT_FALSE(Add(zip, "a.txt", name, &error)) << platform::ToNative(name);
    EXPECT_EQ(error, EINVAL);
  }
  EXPECT_FALSE(ZipArchiveBroken(zip));
  EXPECT_TRUE(Add(zip, "a.txt", L"a.txt"));
  EXPECT_TRUE(Add(zip, "a.txt", std::wstring(kZipMaxEntryName, L'n')));
  EXPECT_TRUE(Add(zip, "a.txt", L"...txt"));
  // On Linux a backslash is a character of a name: "c\\d" and "c/d" are two.
  EXPECT_TRUE(Add(zip, "a.txt", L"c\\d"));
  EXPECT_TRUE(Add(zip, "a.txt", L"c/d"));
  EXPECT_EQ(ZipCloseArchive(zip), 0);
  EXPECT_EQ(Shell("unzip -l out.zip | tail -1"), 0);
  EXPECT_NE(output_.find("5 files"), std::string::npos) << output_;
  EXPECT_EQ(Shell("7z t out.zip"), 0) << output_;
  ASSERT_EQ(Shell("unzip -Z1 out.zip | grep '^c'"), 0);
  EXPECT_EQ(output_, "c\\d\nc/d\n");
}

// A file someone appends to while it is packed gives an entry of the bytes
// that were read, which readers accept, with a password too.
TEST_F(ZipArchiveTest, AFileThatGrowsWhileItIsPackedGivesAWholeEntry) {
  std::vector<uint8_t> start(100000, 's');
  std::vector<uint8_t> more(50000, 'm');
  for (const char* password : {"", "geheim"}) {
    const std::string name = std::string("grown") + (*password ? "-pw" : "") + ".zip";
    ZipArchiveHandle* zip = Create(name, password, 6);
    test::MemoryFile file(start);
    file.growth = more;
    ASSERT_TRUE(ZipAddFile(zip, file, L"log.txt").ok());
    ASSERT_EQ(ZipCloseArchive(zip), 0);
    EXPECT_EQ(Shell("unzip -P '" + std::string(password) + "' -t " + name), 0) << output_;
    EXPECT_EQ(Shell("7z t '-p" + std::string(password) + "' " + name), 0) << output_;
    ASSERT_EQ(Shell("unzip -P '" + std::string(password) + "' -p " + name + " log.txt"), 0);
    EXPECT_EQ(output_, std::string(100000, 's') + std::string(50000, 'm'));
  }
}

// The reader gives what unzip gives: each entry with its name, type and size,
// its bytes inflated; a local header that disagrees with the directory fails
// its entry, however good the data; an empty archive has no entries.
// Entries small enough to be inflated whole and one that streams, each
// damaged in its header or its data.
TEST_F(ZipArchiveTest, TheReaderYieldsEntriesAndChecksEachAgainstItsRecords) {
  std::string text;
  while (text.size() < (5u << 20)) text += "line " + std::to_string(text.size() % 9973) + "\n";
  const std::map<std::string, std::string> files = {
      {"data/a.txt", "alpha\n"}, {"data/b.txt", text.substr(0, 20000)}, {"data/c.txt", text}};
  ZipArchiveHandle* zip = Create("good.zip");
  for (const auto& [name, bytes] : files) {
    WriteBytes(Path("src/" + name), bytes);
    ASSERT_TRUE(Add(zip, "src/" + name, FromNative(name)));
  }
  ASSERT_EQ(ZipCloseArchive(zip), 0);
  ASSERT_EQ(ZipCloseArchive(Create("empty.zip")), 0);
  const std::string good = test::ReadBytes(Path("good.zip"));
  auto read = [this](const std::string& name, std::vector<ArchiveEntry>* entries,
                     std::map<std::string, test::KeptEntry>* kept) {
    ZipEntryReader reader(
        [this, name](std::unique_ptr<platform::FileStream>* view) {
          return platform::Fs()
              .OpenStream(dir_.Wide(name), platform::FileStream::kReadExisting, view)
              .code();
        },
        "");
    const bool opened = reader.Open().ok();
    *entries = reader.entries();
    for (const ArchiveEntry& entry : *entries) (*kept)[entry.name];
    EntryReading reading;
    reading.sinkFor = [kept](const ArchiveEntry& entry) {
      return std::make_unique<test::KeepingSink>(&kept->at(entry.name));
    };
    reader.ReadAll(reading);
    return opened;
  };
  // Where an entry's local header starts, and its data.
  auto header = [&good](const std::string& name) { return good.find(name) - 30; };
  auto data = [&good, &header](const std::string& name) {
    const size_t at = header(name);
    auto u16 = [&good](size_t i) {
      return static_cast<uint8_t>(good[i]) | static_cast<uint8_t>(good[i + 1]) << 8;
    };
    return at + 30 + u16(at + 26) + u16(at + 28);
  };
  struct Row {
    const char* entry;
    size_t byte;         // flipped; SIZE_MAX: none
    const wchar_t* why;  // nullptr: any failure
  } rows[] = {
      {"data/a.txt", SIZE_MAX, L""},
      {"data/a.txt", header("data/a.txt") + 30, L"its local header holds another name"},
      {"data/a.txt", header("data/a.txt") + 8,
       L"its local header holds other flags or another method"},
      {"data/a.txt", header("data/a.txt") + 14, L"its local header holds another CRC or size"},
      {"data/a.txt", header("data/a.txt") + 22, L"its local header holds another CRC or size"},
      {"data/a.txt", data("data/a.txt") + 2, L"CRC error"},
      {"data/b.txt", data("data/b.txt") + 100, nullptr},
      {"data/c.txt", data("data/c.txt") + 5000, nullptr},
  };
  for (const Row& row : rows) {
    std::string damaged = good;
    if (row.byte != SIZE_MAX) damaged[row.byte] = static_cast<char>(~damaged[row.byte]);
    WriteBytes(Path("damaged.zip"), damaged);
    std::vector<ArchiveEntry> entries;
    std::map<std::string, test::KeptEntry> kept;
    ASSERT_TRUE(read("damaged.zip", &entries, &kept)) << "byte " << row.byte;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "data/a.txt");
    EXPECT_EQ(entries[0].type, EntryType::kFile);
    EXPECT_EQ(entries[0].size, 6u);
    for (const auto& [name, bytes] : files) {
      const test::KeptEntry& entry = kept[name];
      if (name != row.entry || row.byte == SIZE_MAX) {
        EXPECT_EQ(entry.why, L"") << name << ", byte " << row.byte;
        EXPECT_TRUE(entry.bytes == bytes) << name << ", byte " << row.byte;
      } else if (row.why != nullptr) {
        EXPECT_EQ(entry.why, row.why) << name << ", byte " << row.byte;
      } else {
        EXPECT_NE(entry.why, L"") << name << ", byte " << row.byte;
      }
    }
  }
  std::vector<ArchiveEntry> entries;
  std::map<std::string, test::KeptEntry> kept;
  EXPECT_TRUE(read("empty.zip", &entries, &kept));
  EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace kelvane
