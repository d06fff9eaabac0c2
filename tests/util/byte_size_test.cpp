#include "util/byte_size.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(ByteSizeTest, ThreeSignificantDigitsInStepsOf1024) {
  struct Row {
    uint64_t bytes;
    std::wstring text;
  } rows[] = {
      // clang-format off
      {0, L"0 bytes"}, {532, L"532 bytes"}, {999, L"999 bytes"}, {1000, L"0.97 KB"},
      {1340, L"1.30 KB"},  // truncated, not rounded
      {2400016, L"2.28 MB"},
      {1610612736, L"1.50 GB"},  // 1.5 GiB
      {6442450944, L"6.00 GB"}, {12345678, L"11.7 MB"}, {123456789012, L"114 GB"},
      {1099511627776, L"1.00 TB"}, {UINT64_MAX, L"16777215 TB"},
      // clang-format on
  };
  for (const Row& row : rows) EXPECT_EQ(FormatByteSize(row.bytes), row.text) << row.bytes;
}

}  // namespace
}  // namespace kelvane
