#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvane::platform {
namespace {

TEST(WildcardTest, MatchesSinglePatterns) {
  struct Row {
    std::wstring text, pattern;
    bool matches;
  } rows[] = {
      // clang-format off
      {L"a.txt", L"*.txt", true}, {L"a.TXT", L"*.txt", true}, {L"a.txt.bak", L"*.txt", false},
      {L"a.txt", L"?.txt", true}, {L"ab.txt", L"?.txt", false}, {L".txt", L"*.txt", true},
      {L"README", L"*.*", true}, {L"README", L"readme.*", true}, {L"a.b", L"*.*", true},
      {L"", L"*", true}, {L"abc", L"a*b*c", true}, {L"aXbYc", L"a*b*c", true},
      {L"acb", L"a*b*c", false}, {L"ÄRGER.doc", L"ärger.*", true}, {L"x", L"", false},
      {L"/home/a/tmp/", L"/home/*/tmp/", true}, {L"/home/a/tmp2/", L"/home/*/tmp/", false},
      {L"/home/a/b/tmp/", L"/home/*/tmp/", true},  // "*" crosses separators, as on Windows
      {L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", L"*a*a*a*a*a*a*a*c", false},
      // clang-format on
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MatchesPattern(row.text, row.pattern), row.matches)
        << std::string(row.text.begin(), row.text.end()) << " ~ "
        << std::string(row.pattern.begin(), row.pattern.end());
  }
}

TEST(WildcardTest, MatchesAnyPatternOfAListAndFindsTheExtensionAtTheLastDot) {
  EXPECT_TRUE(MatchesAnyPattern(L"a.doc", L"*.txt;*.doc"));
  EXPECT_TRUE(MatchesAnyPattern(L"a.doc", L" *.txt ; *.doc "));
  EXPECT_FALSE(MatchesAnyPattern(L"a.pdf", L"*.txt;*.doc"));
  EXPECT_FALSE(MatchesAnyPattern(L"a.pdf", L";;"));
  EXPECT_FALSE(MatchesAnyPattern(L"a.pdf", L""));
  struct Row {
    std::wstring name, extension;
  } rows[] = {
      {L"a.txt", L".txt"},      {L"archive.tar.gz", L".gz"}, {L"README", L""},
      {L".bashrc", L".bashrc"}, {L"trailing.", L"."},        {L"my file.a b", L""},
      {L"v1.0 final", L""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FileExtension(row.name), row.extension)
        << std::string(row.name.begin(), row.name.end());
  }
}

}  // namespace
}  // namespace kelvane::platform
