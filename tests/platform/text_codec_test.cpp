#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kelvane::platform {
namespace {

TEST(TextCodecTest, ValidUtf8RoundTripsAndWhatUtf8CannotCarryIsReplacedForFiles) {
  const std::string bytes =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xD0\x9F\xD1\x80\xD0\xB8 \xF0\x9F\x98\x80";
  const std::wstring wide = FromNative(bytes);
  EXPECT_EQ(wide, L"Grüße При \U0001F600");
  EXPECT_EQ(ToNative(wide), bytes);
  EXPECT_EQ(ToUtf8(wide), bytes);
  EXPECT_TRUE(IsValidUtf8(bytes));
  std::wstring text = L"a";
  text.push_back(static_cast<wchar_t>(0xDCE4));  // an escaped byte
  text.push_back(static_cast<wchar_t>(0xD800));  // a lone high surrogate
  text += L"z";
  EXPECT_EQ(ToUtf8(text), "a\xEF\xBF\xBD\xEF\xBF\xBDz");
  // The native form keeps the escaped byte but cannot keep the lone surrogate.
  EXPECT_EQ(ToNative(text), "a\xE4\xEF\xBF\xBDz");
}

// Given names with bytes that are not UTF-8, when they pass through wide text,
// then every byte comes back unchanged.
TEST(TextCodecTest, InvalidBytesRoundTripLosslessly) {
  const std::vector<std::string> names = {
      "latin1-\xE4\xF6\xFC",  // ISO-8859-1 umlauts
      "lone-\x80-continuation",
      "truncated-\xE2\x82",       // a cut three-byte sequence
      "overlong-\xC0\xAF",        // overlong "/"
      "surrogate-\xED\xA0\x80",   // an encoded surrogate
      "beyond-\xF4\x90\x80\x80",  // above U+10FFFF
      std::string("\xFF\xFE", 2),
  };
  for (const std::string& name : names) {
    const std::wstring wide = FromNative(name);
    EXPECT_EQ(ToNative(wide), name) << name;
    EXPECT_FALSE(IsValidUtf8(name)) << name;
    EXPECT_NE(wide.find_first_of(L"\xDC80\xDCC0\xDCE4\xDCFF\xDCED\xDCF4\xDCE2\xDCFE"),
              std::wstring::npos)
        << name;
  }
  EXPECT_EQ(FromNative("a\xE4z"), std::wstring(L"a") + wchar_t(0xDCE4) + L"z");
}

TEST(TextCodecTest, Utf16UsesSurrogatePairsAndComparesByCodeUnits) {
  const std::wstring text = L"A\U0001F600\u00E4";
  const std::u16string units = ToUtf16(text);
  ASSERT_EQ(units.size(), 4u);
  EXPECT_EQ(units[1], 0xD83D);
  EXPECT_EQ(units[2], 0xDE00);
  EXPECT_EQ(FromUtf16(units), text);
  // A lone surrogate unit survives both ways.
  const std::u16string lone = {u'x', static_cast<char16_t>(0xDC00)};
  EXPECT_EQ(ToUtf16(FromUtf16(lone)), lone);
  // U+FF21 sorts after U+1F600 by code point but before it by UTF-16 code unit
  // (0xFF21 > 0xD83D): the rule is code units.
  EXPECT_GT(CompareUtf16(L"\uFF21", L"\U0001F600"), 0);
  EXPECT_LT(CompareUtf16(L"B", L"a"), 0);
  EXPECT_LT(CompareUtf16(L"ab", L"abc"), 0);
  EXPECT_EQ(CompareUtf16(L"same", L"same"), 0);
  std::vector<std::wstring> list = {L"b", L"\U0001F600", L"\uE000", L"A"};
  std::sort(list.begin(), list.end(),
            [](const auto& x, const auto& y) { return CompareUtf16(x, y) < 0; });
  EXPECT_EQ(list, (std::vector<std::wstring>{L"A", L"b", L"\U0001F600", L"\uE000"}));
}

}  // namespace
}  // namespace kelvane::platform
