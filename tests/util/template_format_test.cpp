#include "util/template_format.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace kelvane {
namespace {

struct Row {
  std::wstring tmpl;
  std::vector<std::wstring_view> args;
  std::wstring expected;
};

TEST(TemplateFormatTest, FillsPlaceholders) {
  const Row rows[] = {
      {L"Anzahl: [1] von [2] ([3]%)", {L"3", L"10", L"30"}, L"Anzahl: 3 von 10 (30%)"},
      {L"[2] before [1]", {L"x", L"y"}, L"y before x"},
      {L"[1]", {}, L"?"},
      {L"[1][1]", {L"ab"}, L"abab"},
      {L"no brackets at all", {L"x"}, L"no brackets at all"},
      {L"[0] [ab] [a", {L"x"}, L"[0] [ab] [a"},
      {L"[1x tail", {L"arg"}, L"arg tail"},  // the char after a digit is consumed
      {L"end [1", {L"arg"}, L"end arg"},     // nothing read past the end
      {L"end [", {L"arg"}, L"end ["},
      {L"[1]", {L"[2]", L"no"}, L"[2]"},  // arguments are not expanded again
      {L"[1]|[2]", {L"", L"b"}, L"|b"},
      {L"<[1]><[2]><[3]>", {std::wstring_view(), L"b"}, L"<><b><?>"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ExpandTemplate(row.tmpl, row.args), row.expected) << row.tmpl;
  }
}

TEST(TemplateFormatTest, LettersTakeTheTenthArgumentOnwardUpToFifteen) {
  std::vector<std::wstring_view> ten = {L"1", L"2", L"3", L"4", L"5",
                                        L"6", L"7", L"8", L"9", L"ten"};
  EXPECT_EQ(ExpandTemplate(L"[a]/[A]", ten), L"ten/ten");
  ten.pop_back();
  EXPECT_EQ(ExpandTemplate(L"[a]/[A]", ten), L"?/?");
  EXPECT_EQ(ExpandTemplate(L"[z]", ten), L"?");
  EXPECT_EQ(PrintFEx(L"[1] [e] [F]", {L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j",
                                      L"k", L"l", L"m", L"n", L"o"}),
            L"a n o");
  try {
    PrintFEx(L"[1]", {L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j", L"k", L"l", L"m",
                      L"n", L"o", L"p"});
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "PrintFEx bad template format");
  }
}

}  // namespace
}  // namespace kelvane
