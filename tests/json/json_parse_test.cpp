#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"
#include "util/result_codes.h"

namespace kelvane {
namespace {

std::string Nested(int levels) { return std::string(levels, '[') + std::string(levels, ']'); }

TEST(JsonParseTest, AcceptsValuesOfEveryKindAndDecodesEscapes) {
  JsonDocument doc;
  ASSERT_TRUE(
      doc.Parse(R"( {"s":"text","n":-12.5e1,"t":true,"f":false,"z":null,"a":[1,"x"],"o":{}} )")
          .ok());
  const JsonNode* root = doc.root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->kind, JsonKind::kObject);
  EXPECT_EQ(doc.Find(nullptr, "s")->stringValue, "text");
  EXPECT_EQ(doc.Find(nullptr, "n")->numberValue, -125.0);
  EXPECT_EQ(doc.Find(nullptr, "n")->intValue, -125);
  EXPECT_EQ(doc.Find(nullptr, "t")->kind, JsonKind::kBool);
  EXPECT_EQ(doc.Find(nullptr, "t")->intValue, 1);
  EXPECT_EQ(doc.Find(nullptr, "f")->intValue, 0);
  EXPECT_EQ(doc.Find(nullptr, "z")->kind, JsonKind::kNull);
  EXPECT_EQ(doc.Find(nullptr, "a")->children.size(), 2u);
  EXPECT_EQ(doc.Find(nullptr, "o")->kind, JsonKind::kObject);
  EXPECT_EQ(doc.Find(nullptr, "missing"), nullptr);
  EXPECT_EQ(doc.Find(nullptr, ""), nullptr);
  EXPECT_EQ(doc.Find(nullptr, "S"), nullptr);  // keys are case-sensitive
  ASSERT_TRUE(doc.Parse(R"(["\u00e9", "\uD83D\ude00", "\"\\\/\b\f\n\r\t", "\u00C4"])").ok());
  const auto& items = doc.root()->children;
  EXPECT_EQ(items[0]->stringValue, "\xC3\xA9");
  EXPECT_EQ(items[1]->stringValue, "\xF0\x9F\x98\x80");
  EXPECT_EQ(items[2]->stringValue, "\"\\/\b\f\n\r\t");
  EXPECT_EQ(JsonDocument::ValueText(items[3].get()), L"\u00C4");
}

TEST(JsonParseTest, RejectsMalformedTextWithCode13) {
  const char* bad[] = {
      // clang-format off
      "", " ", "nul", "True", "{", "[1,", "[1 2]", "{\"a\" 1}", "{\"a\":}", "{a:1}", "\"open",
      "\"\\x\"", "\"\\u12\"", "\"\\u12g4\"", "\"\\udc00\"", "\"\\ud800\"", "\"\\ud800\\u0041\"",
      "[1,]", "-", "+1", ".5", "[\"a\"\"b\"]", "{\"a\":1,}", "\"\\", "[\"x\\u",
      // clang-format on
  };
  for (const char* text : bad) {
    JsonDocument doc;
    EXPECT_EQ(doc.Parse(text).code(), static_cast<int>(kResultInvalidData)) << text;
    EXPECT_TRUE(doc.empty()) << text;
  }
  // Where it stopped, never past the last byte.
  JsonDocument doc;
  EXPECT_EQ(doc.Parse("{\"a\": 1, \"b\": ?oops}").context(), L"?oops}");
  EXPECT_EQ(doc.errorOffset(), 14u);
  EXPECT_FALSE(doc.Parse("[1,").ok());
  EXPECT_EQ(doc.errorOffset(), 2u);
}

TEST(JsonParseTest, LimitsNestingTo1200Levels) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse(Nested(1200)).ok());
  const platform::Status deep = doc.Parse(Nested(1201));
  EXPECT_EQ(deep.code(), static_cast<int>(kResultTooManyLevels));
  EXPECT_EQ(deep.context(), L"Too many levels.");
  EXPECT_TRUE(doc.empty());
  EXPECT_EQ(doc.Parse(std::string(100000, '[')).code(), static_cast<int>(kResultTooManyLevels));
  EXPECT_TRUE(doc.Parse("{\"a\":" + Nested(1199) + "}").ok());
  EXPECT_EQ(doc.Parse("{\"a\":" + Nested(1200) + "}").code(),
            static_cast<int>(kResultTooManyLevels));
}

TEST(JsonParseTest, SkipsAByteOrderMarkAndIgnoresTrailingText) {
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse("\xEF\xBB\xBF{}").ok());
  EXPECT_EQ(doc.root()->kind, JsonKind::kObject);
  // Four bytes or fewer are not searched for a byte order mark.
  EXPECT_EQ(doc.Parse("\xEF\xBB\xBF"
                      "1")
                .code(),
            static_cast<int>(kResultInvalidData));
  EXPECT_TRUE(doc.Parse("{} {\"second\": 1} garbage").ok());
  EXPECT_TRUE(doc.root()->children.empty());
}

TEST(JsonParseTest, NumbersAndTypedGettersFollowTheirRules) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse("[3000000000, -3000000000, 2.9, -2.9, 1e999]").ok());
  const auto& items = doc.root()->children;
  EXPECT_EQ(items[0]->intValue, 2147483647);
  EXPECT_EQ(items[1]->intValue, -2147483647 - 1);
  EXPECT_EQ(items[2]->intValue, 2);
  EXPECT_EQ(items[3]->intValue, -2);
  EXPECT_EQ(items[4]->intValue, 2147483647);
  ASSERT_TRUE(doc.Parse(R"({"n": 7, "s": "5", "b": true})").ok());
  int32_t value = -1;
  EXPECT_TRUE(doc.GetInt(nullptr, "n", &value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(doc.GetInt(nullptr, "s", &value));  // present but not a number
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(doc.GetInt(nullptr, "missing", &value));
  std::wstring text;
  EXPECT_TRUE(doc.GetText(nullptr, "s", &text));
  EXPECT_EQ(text, L"5");
  EXPECT_FALSE(doc.GetText(nullptr, "n", &text));
  EXPECT_EQ(JsonDocument::ValueText(doc.Find(nullptr, "b")), L"true");
  EXPECT_EQ(JsonDocument::ValueText(doc.Find(nullptr, "n")), L"7");
  EXPECT_EQ(JsonDocument::ValueText(doc.root()), L"");
}

}  // namespace
}  // namespace kelvane
