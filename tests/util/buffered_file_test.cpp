#include "util/buffered_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/test_support.h"

namespace kelvane {
namespace {

using test::FaultyFileSystem;
using test::ReadBytes;
using test::TempDir;

class BufferedFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
  FaultyFileSystem fs_;
};

TEST_F(BufferedFileTest, LargeWriteFlushesThenGoesStraightToTheFile) {
  BufferedFile file;
  ASSERT_EQ(file.Create(dir_.Wide("out")), 0);
  file.Write("head", 4);
  EXPECT_EQ(fs_.writeCalls, 0);
  const std::string big(2 * 1048576, 'b');
  file.Write(big);
  EXPECT_EQ(fs_.writeCalls, 2);  // the buffered head, then the big block in one call
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(ReadBytes(dir_.Native("out")), "head" + big);
}

TEST_F(BufferedFileTest, FallsBackToSmallerBuffersAndToNone) {
  BufferedFile small([](size_t size) {
    return size <= 10240 ? std::make_unique<char[]>(size) : std::unique_ptr<char[]>();
  });
  ASSERT_EQ(small.Create(dir_.Wide("small")), 0);
  small.Write("x", 1);
  EXPECT_EQ(small.capacity(), 10240u);
  EXPECT_EQ(small.Close(), 0);

  fs_.writeCalls = 0;
  BufferedFile none([](size_t) { return std::unique_ptr<char[]>(); });
  ASSERT_EQ(none.Create(dir_.Wide("none")), 0);
  none.Write("a", 1);
  none.Write("b", 1);
  none.Write("c", 1);
  EXPECT_EQ(fs_.writeCalls, 3);
  EXPECT_EQ(none.Close(), 0);
  EXPECT_EQ(ReadBytes(dir_.Native("none")), "abc");
}

TEST_F(BufferedFileTest, RemembersTheFirstWriteError) {
  fs_.failWrite = [](const std::wstring&, uint64_t) { return ENOSPC; };
  BufferedFile file;
  ASSERT_EQ(file.Create(dir_.Wide("full")), 0);
  file.Write("data", 4);
  EXPECT_EQ(file.error(), 0);  // still in the buffer
  EXPECT_EQ(file.Close(), ENOSPC);
}

}  // namespace
}  // namespace kelvane
