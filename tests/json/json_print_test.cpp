#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "json/json_document.h"

namespace kelvane {
namespace {

TEST(JsonPrintTest, PrintsNumbersShortestFaithfullyWhateverTheLocale) {
  struct Row {
    double value;
    const char* text;
  } rows[] = {
      {0.1, "0.1"},      {1, "1"},
      {9, "9"},          {4294967295.0, "4294967295"},
      {-0.5, "-0.5"},    {1.0 / 3.0, "0.33333333333333331"},
      {1e300, "1e+300"}, {0.1 + 0.2, "0.3"} /* within one unit of the last place */,
  };
  for (const Row& row : rows) EXPECT_EQ(PrintJsonNumber(row.value), row.text) << row.text;
  EXPECT_EQ(PrintJsonNumber(HUGE_VAL), "null");
  EXPECT_EQ(PrintJsonNumber(NAN), "null");
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
  EXPECT_EQ(PrintJsonNumber(0.1), "0.1");
  JsonDocument doc;
  EXPECT_TRUE(doc.Parse("[0.25]").ok());
  EXPECT_EQ(doc.root()->children[0]->numberValue, 0.25);
  std::setlocale(LC_ALL, "C");
}

TEST(JsonPrintTest, EscapesControlCharactersAndKeepsOtherBytes) {
  JsonDocument doc;
  JsonNode* root = doc.AddArray(nullptr);
  doc.AddString(root, {}, L"tab\there\x01 \"q\" back\\slash /ä\r\n\b\f");
  EXPECT_EQ(doc.Print(),
            "\n[\n  \"tab\\there\\u0001 \\\"q\\\" back\\\\slash /\xC3\xA4\\r\\n\\b\\f\"\n\n]");
}

TEST(JsonPrintTest, ParsedTextPrintsAndReparsesToTheSameText) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"a":[{"b":[[],[1,2]]},"\u0007"],"c":{"d":null}})").ok());
  const std::string once = doc.Print();
  JsonDocument again;
  ASSERT_TRUE(again.Parse(once).ok());
  EXPECT_EQ(again.Print(), once);
}

TEST(JsonPrintTest, OnlyOneRootAndNothingPrintedWithoutIt) {
  JsonDocument doc;
  EXPECT_EQ(doc.Print(), "");
  EXPECT_NE(doc.AddObject(nullptr), nullptr);
  EXPECT_EQ(doc.AddObject(nullptr), nullptr);
}

}  // namespace
}  // namespace kelvane
