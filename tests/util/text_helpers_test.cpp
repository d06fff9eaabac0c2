// Formatting, trimming and case: the small text helpers.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "util/ascii_case.h"
#include "util/format_text.h"
#include "util/trim.h"

namespace kelvane {
namespace {

TEST(FormatTextTest, FormatsTheConversionsTheProgramUses) {
  const std::wstring name = L"/backup/a.txt";
  EXPECT_EQ(FormatText(L"Backup file %s failed.%s", name, std::wstring(L" Code: 2, x.")),
            L"Backup file /backup/a.txt failed. Code: 2, x.");
  EXPECT_EQ(FormatText(L"(%02ld) Folder", 1L), L"(01) Folder");
  EXPECT_EQ(FormatText(L"(%02ld)", 123L), L"(123)");
  EXPECT_EQ(FormatText(L"%2.2ld:%2.2ld:%2.2ld", 100L, 0L, 5L), L"100:00:05");
  EXPECT_EQ(FormatText(L"Code %ld", -5), L"Code -5");
  EXPECT_EQ(FormatText(L"%lu|%llu|%u", 4294967295u, 18446744073709551615ull, 7u),
            L"4294967295|18446744073709551615|7");
  EXPECT_EQ(FormatText(L"%x %X %o", 255, 255, 8), L"ff FF 10");
  EXPECT_EQ(FormatText(L"[%5s][%-5s][%.2s]", L"ab", L"ab", L"abcdef"), L"[   ab][ab   ][ab]");
  EXPECT_EQ(FormatText(L"%S and %s", std::string("narrow \xC3\xA4"), L"wide"),
            L"narrow ä and wide");
  EXPECT_EQ(FormatText(L"100%% %c", L'x'), L"100% x");
  EXPECT_EQ(FormatText(L"%1.15g %.2f %e", 0.1, 2.345, 1500.0), L"0.1 2.35 1.500000e+03");
  EXPECT_EQ(FormatText(L"%+d % d %05d %-4d|", 3, 3, -42, 7), L"+3  3 -0042 7   |");
  EXPECT_EQ(CountOf(1, L"file", L"files") + L", " + CountOf(0, L"file", L"files"),
            L"1 file, 0 files");
}

TEST(FormatTextTest, NeverCrashesOnMismatchedArgumentsAndIgnoresTheLocale) {
  EXPECT_EQ(FormatText(L"%s %s %ld"), L"  ");
  EXPECT_EQ(FormatText(L"%ld", L"text"), L"text");
  EXPECT_EQ(FormatText(L"%s", 42), L"42");
  EXPECT_EQ(FormatText(L"dangling %"), L"dangling ");
  EXPECT_EQ(FormatText(L"%q"), L"");  // a length letter, then the end
  EXPECT_EQ(FormatText(L"%k"), L"%k");
  EXPECT_EQ(FormatText(L"%999999999d", 1).size(), 4096u);
  EXPECT_EQ(FormatText("%s=%ld", std::wstring(L"\u00E4"), 5L), "\xC3\xA4=5");
  const char* saved = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(FormatText("%.1f", 0.5), "0.5");
  if (saved) std::setlocale(LC_NUMERIC, "C");
}

TEST(TextUtilTest, TrimsTheSixWhitespaceCharactersAndLowersAsciiOnly) {
  EXPECT_EQ(Trim(L"  \tabc\r\n"), L"abc");
  EXPECT_EQ(Trim(L"   "), L"");
  EXPECT_EQ(Trim(L"\f\va b\v"), L"a b");
  EXPECT_EQ(TrimRight(L"  abc \r\n"), L"  abc");
  EXPECT_EQ(TrimRight(L""), L"");
  EXPECT_EQ(Trim(L"\u00A0x"), L"\u00A0x");  // not one of the six
  EXPECT_EQ(ToLowerAscii(L"ABC-XYZ ÄSS"), L"abc-xyz Äss");
}

}  // namespace
}  // namespace kelvane
