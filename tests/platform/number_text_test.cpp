#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace kelvane::platform {
namespace {

// Restores the numeric locale a test switched to a decimal comma.
class CommaLocale {
 public:
  CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"}) {
      if (std::setlocale(LC_NUMERIC, name)) break;
    }
    comma_ = std::string(std::localeconv()->decimal_point) == ",";
  }
  ~CommaLocale() { std::setlocale(LC_NUMERIC, "C"); }
  bool active() const { return comma_; }

 private:
  bool comma_ = false;
};

TEST(NumberTextTest, ParsesTheLongestNumberPrefix) {
  struct Row {
    std::string text;
    size_t used;
    double value;
  } rows[] = {
      {"0.1", 3, 0.1}, {"-12.5e2x", 7, -1250}, {"1e", 1, 1},           {"7.", 2, 7},
      {"-", 0, 0},     {"1.5.3", 3, 1.5},      {"1e999", 5, HUGE_VAL},
  };
  for (const Row& row : rows) {
    double value = 0;
    const size_t used = ParseDouble(row.text.data(), row.text.data() + row.text.size(), &value);
    EXPECT_EQ(used, row.used) << row.text;
    if (used) {
      EXPECT_EQ(value, row.value) << row.text;
    }
  }
}

TEST(NumberTextTest, FormatsLikePrintfGWhateverTheUsersDecimalComma) {
  EXPECT_EQ(FormatDoubleG(9, 15), "9");
  EXPECT_EQ(FormatDoubleG(1e20, 15), "1e+20");
  EXPECT_EQ(FormatDoubleG(0.1, 17), "0.10000000000000001");
  EXPECT_EQ(FormatDoubleG(-2147483648.0, 15), "-2147483648");
  CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  EXPECT_EQ(FormatDoubleG(0.1, 15), "0.1");
  double value = 0;
  const std::string text = "2.5";
  EXPECT_EQ(ParseDouble(text.data(), text.data() + text.size(), &value), 3u);
  EXPECT_EQ(value, 2.5);
}

}  // namespace
}  // namespace kelvane::platform
