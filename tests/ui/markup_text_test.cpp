// The markup renderer on a canvas with fixed metrics (ui/fixed_canvas.h).
#include "ui/layout/markup_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "ui/fixed_canvas.h"

namespace kelvane::ui {
namespace {

using test::FixedCanvas;

class MarkupTextTest : public ::testing::Test {
 protected:
  // Lays `text` out in a box `width` wide and draws it there, on a clean canvas.
  Size Render(std::wstring_view text, int width = 400, uint32_t format = 0, int height = 300) {
    canvas_.drawn.clear();
    canvas_.fills = 0;
    markup_.SetText(text);
    const Rect box{10, 20, 10 + width, 20 + height};
    const Size size = markup_.GetExtent(canvas_, box, format, true);
    markup_.Draw(canvas_, &box);
    return size;
  }

  CHTMLDrawText markup_;
  FixedCanvas canvas_;
};

TEST_F(MarkupTextTest, PairsOfBlanksCollapse) {
  for (const auto& [blanks, kept] : {std::pair{2, 1}, {3, 2}, {4, 2}, {5, 3}}) {
    markup_.SetText(L"a" + std::wstring(blanks, L' ') + L"b");
    EXPECT_EQ(markup_.text(), L"a" + std::wstring(kept, L' ') + L"b") << blanks;
  }
}

TEST_F(MarkupTextTest, ALineFeedInMarkupBreaksTheLine) {
  markup_.SetText(L"<b>one</b>\ntwo");
  EXPECT_EQ(markup_.text(), L"<b>one</b><br>two<*>");
  Render(L"<b>one</b>\ntwo");
  EXPECT_EQ(markup_.lineCount(), 2);
  ASSERT_NE(canvas_.Find(L"one"), nullptr);
  ASSERT_NE(canvas_.Find(L"two"), nullptr);
  EXPECT_GT(canvas_.Find(L"two")->y, canvas_.Find(L"one")->y);
  EXPECT_EQ(canvas_.Find(L"two")->x, 10);
}

TEST_F(MarkupTextTest, PlainTextKeepsItsLineFeedsAndWrapsAtBlanks) {
  markup_.SetText(L"first line\nsecond");
  EXPECT_EQ(markup_.text(), L"first line\nsecond");
  // 60 pixels hold ten characters: "first line" fits, and so does "second".
  const Size size = Render(L"first line\nsecond", 60);
  EXPECT_EQ(markup_.lineCount(), 2);
  EXPECT_EQ(size, (Size{60, 2 * 14 + 1}));
  // Too narrow for "first line": the line breaks at its blank.
  Render(L"first line", 40);
  EXPECT_EQ(markup_.lineCount(), 2);
}

// An unknown or unclosed tag is text; a tag that takes attributes but has none,
// with a blank before its ">", is harmless (found by fuzzing: it ended the
// program).
TEST_F(MarkupTextTest, AnUnknownOrUnclosedTagIsText) {
  Render(L"a <x> b < c <b>d");
  EXPECT_EQ(canvas_.AllText(), L"a <x> b < c d");
  Render(L"1 <b 2 <i>3");
  EXPECT_EQ(canvas_.AllText(), L"1 <b 2 3");
  Render(L"<font >a</font><a >b</a>c<p >d</p >e");
  EXPECT_EQ(canvas_.AllText(), L"abcde");
  EXPECT_EQ(canvas_.Find(L"a")->font, FontDescription{});
}

// Tags and attributes set the font and colour of their text, nest and pop:
// <big> inside bold is not bold (11 pt x 96 / 72, rounded); "red" is no
// colour name, its letters are read as hexadecimal digits.
TEST_F(MarkupTextTest, TagsSetFontAndColourAndPop) {
  constexpr Color kBlack = Rgb(0, 0, 0), kRed = Rgb(158, 24, 1);
  struct Row {
    const wchar_t* piece;
    int height, weight;
    Color color;
    const wchar_t* face = L"";
  } rows[] = {
      // clang-format off
      {L"bold", -11, 700, kBlack}, {L"big", -15, 400, kBlack}, {L"again", -11, 700, kBlack},
      {L"plain", -11, 400, kBlack}, {L"x", -11, 400, Rgb(0x0E, 0xD0, 0x00)}, {L"y", -20, 400, kBlack},
      {L"z", -9, 400, kBlack}, {L"w", -13, 400, kBlack, L"Serif"}, {L"v", -11, 400, kBlack},
      {L"r", -11, 400, kRed}, {L"b", -11, 400, Rgb(0, 66, 147)}, {L"r2", -11, 400, kRed},
      {L"h", -11, 700, Rgb(102, 102, 102)}, {L"n", -11, 400, kBlack},
      // clang-format on
  };
  Render(
      L"<b>bold<big>big</big>again</b>plain<font color=red>x</font><font size=3>y</font>"
      L"<font size=-2>z</font><font size=+2 face='Serif'>w</font>v"
      L"<col_red>r<col_dblue>b</col_dblue>r2</col_red><hf>h</hf>n");
  for (const Row& row : rows) {
    const FixedCanvas::Drawn* drawn = canvas_.Find(row.piece);
    ASSERT_NE(drawn, nullptr) << platform::ToUtf8(row.piece);
    EXPECT_EQ(drawn->font, (FontDescription{row.face, row.height, row.weight}))
        << platform::ToUtf8(row.piece);
    EXPECT_EQ(drawn->color, row.color) << platform::ToUtf8(row.piece);
  }
}

TEST_F(MarkupTextTest, ColourValuesParseAndShade) {
  EXPECT_EQ(ParseColor(L"DRed"), Rgb(158, 24, 1));
  EXPECT_EQ(ParseColor(L"'#1a2B3c"), Rgb(0x1A, 0x2B, 0x3C));
  EXPECT_EQ(ParseColor(L"#12"), Rgb(0x12, 0, 0));
  EXPECT_EQ(LightenColor(Rgb(100, 0, 255), 0.4), Rgb(162, 102, 255));
  EXPECT_EQ(DarkenColor(Rgb(100, 0, 255), 0.5), Rgb(50, 0, 127));
  EXPECT_EQ(LightenColor(Rgb(100, 0, 255), 1.5), Rgb(100, 0, 255));
}

// Found by fuzzing: a huge size overflowed the font height.
TEST_F(MarkupTextTest, HugeSizesAndMarginsAreKeptToAScreensWorth) {
  std::wstring text = L"<font size=954437176>a</font><font size=-2147483648>b</font>";
  for (int i = 0; i < 20; ++i) text += L"<big>";
  Render(text + L"c<p margin=2147483647>d", 100000, 0, 100000);
  ASSERT_EQ(canvas_.AllText(), L"abcd");
  EXPECT_EQ(canvas_.Find(L"a")->font.height, -1000);
  EXPECT_GE(canvas_.Find(L"b")->font.height, -1000);
  EXPECT_EQ(canvas_.Find(L"c")->font.height, -1000);
  EXPECT_EQ(canvas_.Find(L"d")->y - canvas_.Find(L"c")->y, 1000 + 1003);
}

TEST_F(MarkupTextTest, ParagraphMarginAddsToItsLine) {
  // Line 1 loses the internal leading: 11 + 3 - 2.
  Render(L"a<p margin=10>b");
  ASSERT_EQ(markup_.lineCount(), 2);
  EXPECT_EQ(canvas_.Find(L"b")->y - canvas_.Find(L"a")->y, 10 + 14);
  Render(L"a<p margin=10 x=1>b");
  EXPECT_EQ(canvas_.Find(L"b")->y - canvas_.Find(L"a")->y, 14);
  // The margin scales with the DPI.
  markup_.SetDpi(192);
  Render(L"a<p margin=10>b");
  EXPECT_EQ(canvas_.Find(L"b")->y - canvas_.Find(L"a")->y, 20 + 14);
}

TEST_F(MarkupTextTest, ALinkWrappedOverTwoLinesIsFoundOnBothAndNeedsOneHref) {
  // 60 pixels: "see " and "<a>" on line 1 are 24 + 36 wide; the link text
  // "first second" wraps after its blank.
  Render(L"see <a href=\"https://x.example/\">first second</a> end", 60);
  ASSERT_GE(markup_.lineCount(), 2);
  const auto* first = canvas_.Find(L"first ");
  const auto* second = canvas_.Find(L"second");
  ASSERT_TRUE(first && second);
  ASSERT_NE(first->y, second->y);
  EXPECT_EQ(markup_.FindLink(first->x + 1, first->y + 1), L"https://x.example/");
  EXPECT_EQ(markup_.FindLink(second->x + 1, second->y + 1), L"https://x.example/");
  EXPECT_EQ(markup_.FindLink(canvas_.Find(L"see ")->x + 1, canvas_.Find(L"see ")->y + 1),
            std::nullopt);
  EXPECT_TRUE(canvas_.Find(L"first ")->font.underline);
  ASSERT_NE(canvas_.Find(L"end"), nullptr);
  EXPECT_FALSE(canvas_.Find(L"end")->font.underline);
  Render(L"<a name=x href=y>t</a>");
  EXPECT_EQ(markup_.FindLink(canvas_.Find(L"t")->x + 1, canvas_.Find(L"t")->y + 1), std::nullopt);
}

// On a single line nothing is drawn past the width; below the box, the text
// ends with the marker.
TEST_F(MarkupTextTest, WhatDoesNotFitIsNotDrawn) {
  const Size size = Render(L"<b>a</b> aaaa bbbb cccc dddd", 30, kSingleLine);
  EXPECT_EQ(markup_.lineCount(), 1);
  EXPECT_GT(size.width, 30);
  EXPECT_EQ(canvas_.Find(L"dddd"), nullptr);
  EXPECT_NE(canvas_.Find(L"aaaa "), nullptr);
  Render(L"<b>one</b><br>two<br>three", 200, kEndEllipsis, 20);
  EXPECT_NE(canvas_.Find(L"one"), nullptr);
  EXPECT_EQ(canvas_.Find(L"three"), nullptr);
  EXPECT_TRUE(markup_.endMarkerDrawn());
  EXPECT_NE(canvas_.Find(L"..."), nullptr);
  EXPECT_EQ(canvas_.fills, 1);
}

TEST_F(MarkupTextTest, LinesAlignRightAndCentre) {
  Render(L"<b></b>abc", 100, kRight);
  EXPECT_EQ(canvas_.Find(L"abc")->x, 10 + 100 - 18);
  Render(L"<b></b>abc", 100, kCenter);
  EXPECT_EQ(canvas_.Find(L"abc")->x, 10 + (100 - 18) / 2);
}

TEST_F(MarkupTextTest, DrawingBeforeMeasuringDrawsNothing) {
  markup_.SetText(L"<b>text</b>");
  const Rect box{0, 0, 100, 100};
  markup_.Draw(canvas_, &box);
  EXPECT_TRUE(canvas_.drawn.empty());
}

}  // namespace
}  // namespace kelvane::ui
