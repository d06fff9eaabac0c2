#include "manifest/manifest_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane {
namespace {

using Type = ManifestEntry::Type;

ManifestEntry Entry(Type type, std::string path, std::string target = {}) {
  ManifestEntry entry;
  entry.type = type;
  entry.path = std::move(path);
  entry.target = std::move(target);
  entry.size = type == Type::kFolder ? 0 : 1ull << 40;
  entry.mtimeSeconds = -86400;  // before 1970
  entry.mtimeNanoseconds = 999999999;
  entry.mode = 04750;
  entry.uid = 4294967294u;
  entry.gid = 2345;
  entry.user = "jörg";
  entry.group = "staff";
  if (type == Type::kFile) {
    entry.attributes = {{"user.origin", "kelvane"},
                        {"system.posix_acl_access", std::string("\x02\0\0\0\x01\0\x06\0", 8)}};
    entry.hasDigest = true;
    entry.sha256 = platform::DigestOf("content").sha256;
    entry.archive = "Daily_2026-12-07_03-00.zip";
    entry.archiveId = "0123456789abcdef0123456789abcdef";
  }
  return entry;
}

void ExpectSame(const ManifestEntry& a, const ManifestEntry& b) {
  EXPECT_EQ(a.type, b.type);
  EXPECT_EQ(a.path, b.path);
  EXPECT_EQ(a.size, b.size);
  EXPECT_EQ(a.mtimeSeconds, b.mtimeSeconds);
  EXPECT_EQ(a.mtimeNanoseconds, b.mtimeNanoseconds);
  EXPECT_EQ(a.mode, b.mode);
  EXPECT_EQ(a.uid, b.uid);
  EXPECT_EQ(a.gid, b.gid);
  EXPECT_EQ(a.user, b.user);
  EXPECT_EQ(a.group, b.group);
  EXPECT_EQ(a.target, b.target);
  EXPECT_EQ(a.attributes, b.attributes);
  EXPECT_EQ(a.hasDigest, b.hasDigest);
  EXPECT_EQ(a.sha256, b.sha256);
  EXPECT_EQ(a.archive, b.archive);
  EXPECT_EQ(a.archiveId, b.archiveId);
}

// Every name a user can give a file comes back byte for byte, on one line.
TEST(ManifestLineTest, HostileNamesComeBackAsTheyWere) {
  const std::vector<ManifestEntry> entries = {
      Entry(Type::kFile, "home/a/line\nfeed"),
      Entry(Type::kFile, "tab\there/carriage\rreturn"),
      Entry(Type::kFile, R"(back\slash/"quoted"/{brace},comma)"),
      Entry(Type::kFile, std::string("latin1-\xE9t\xE9", 10)),
      Entry(Type::kFile, std::string("bad-utf8-\xC3(\x80", 12)),
      Entry(Type::kFile, "ctl-\x01\x1f\x7f"),
      Entry(Type::kFile, std::string(4096, 'x') + "/" + std::string(255, 'y')),
      Entry(Type::kFolder, "empty folder"),
      Entry(Type::kLink, "link", "../target\nwith newline"),
      Entry(Type::kLink, "abs", std::string("/non-utf8-\xFF", 12)),
  };
  for (const ManifestEntry& entry : entries) {
    SCOPED_TRACE(entry.path.substr(0, 40));
    std::string line;
    AppendEntryLine(entry, &line);
    ASSERT_EQ(line.find('\n'), line.size() - 1);
    line.pop_back();
    ManifestEntry read;
    ASSERT_TRUE(ParseEntryLine(line, &read)) << line;
    ExpectSame(entry, read);
  }
}

TEST(ManifestLineTest, HeaderComesBackAndTellsItselfFromAnEntry) {
  ManifestHeader header;
  header.job = "/home/a/Daily.kvnjob";
  header.archive = "Daily.zip";
  header.id = "00112233445566778899aabbccddeeff";
  header.time = "2026-12-07T03:00:00Z";
  header.kind = "incremental";
  header.base = "Daily_2026-12-06.zip";
  std::string line;
  AppendHeaderLine(header, &line);
  line.pop_back();
  ManifestHeader read;
  ASSERT_TRUE(ParseHeaderLine(line, &read)) << line;
  EXPECT_EQ(read.version, kManifestVersion);
  EXPECT_EQ(read.job, header.job);
  EXPECT_EQ(read.archive, header.archive);
  EXPECT_EQ(read.id, header.id);
  EXPECT_EQ(read.time, header.time);
  EXPECT_EQ(read.kind, header.kind);
  EXPECT_EQ(read.base, header.base);
  ManifestEntry entry;
  EXPECT_FALSE(ParseEntryLine(line, &entry));
  std::string entryLine;
  AppendEntryLine(Entry(Type::kFile, "a"), &entryLine);
  EXPECT_FALSE(ParseHeaderLine(entryLine, &read));
}

TEST(ManifestLineTest, DamagedLinesAreRefused) {
  const std::vector<std::string> lines = {
      "",
      "not json",
      "[1,2]",
      R"({"type":"file"})",                             // no path
      R"({"path":"a","type":"socket","mode":"0644"})",  // unknown type
      R"({"path":"a","type":"file","mode":"9"})",       // not octal
      R"({"path":"a","type":"file","mode":"0644","size":-1})",
      R"({"path":"a","type":"file","mode":"0644","size":1.5})",
      R"({"path":"a","type":"file","mode":"0644","mtime_ns":1000000000})",
      R"({"path":"a","type":"file","mode":"0644","uid":"0"})",
      R"({"path":"a","type":"file","mode":"0644","sha256":"abc"})",
      R"({"path64":"***","type":"file","mode":"0644"})",
      R"({"path":"a","type":"file","mode":"0644","xattrs":{"user.a":"***"}})",
      R"({"path":"a","type":"file","mode":"0644","xattrs":["user.a"]})",
  };
  for (const std::string& line : lines) {
    ManifestEntry entry;
    EXPECT_FALSE(ParseEntryLine(line, &entry)) << line;
  }
  ManifestEntry entry;
  EXPECT_TRUE(ParseEntryLine(R"({"path":"a","type":"file","mode":"0644","new":[1]})", &entry));
}

}  // namespace
}  // namespace kelvane
