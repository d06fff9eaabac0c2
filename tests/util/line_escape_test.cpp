#include "util/line_escape.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

// Names chosen by others are written so that one event stays one line and
// every byte of the name can still be read back.
TEST(LineEscapeTest, ControlCharactersAndForeignBytesBecomeEscapes) {
  struct Row {
    std::wstring text;
    std::string line;
  } rows[] = {
      {L"plain name.txt", "plain name.txt"},
      {L"Übersicht файл 😀",
       "\xC3\x9C"
       "bersicht \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB \xF0\x9F\x98\x80"},
      {L"evil\n[06.12.2026 03:00:00] Done", "evil\\x0A[06.12.2026 03:00:00] Done"},
      {L"a\rb\tc\x1b[2Jd", "a\\x0Db\\x09c\\x1B[2Jd"},
      {std::wstring(L"nul\0here", 8), "nul\\x00here"},
      {L"del\x7f", "del\\x7F"},
      {L"c1\x85next\x2028para\x2029", "c1\\u0085next\\u2028para\\u2029"},
      {L"c\\d.txt", "c\\\\d.txt"},
      {std::wstring(L"caf") + static_cast<wchar_t>(0xDCE9), "caf\\xE9"},
      {std::wstring(L"lone") + static_cast<wchar_t>(0xD800), "lone\xEF\xBF\xBD"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EscapedLine(row.text), row.line) << row.line;
  }
}

}  // namespace
}  // namespace kelvane
