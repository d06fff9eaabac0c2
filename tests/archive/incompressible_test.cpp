// The quick look that spares deflating what deflate cannot shrink.
#include "archive/zip/incompressible.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace kelvane {
namespace {

std::vector<uint8_t> Noise(size_t n, unsigned seed = 5) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(n);
  for (uint8_t& byte : out) byte = static_cast<uint8_t>(random());
  return out;
}

// How much deflate at level 6 saves, as a fraction.
double DeflateSaving(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 6), Z_OK);
  return 1.0 - static_cast<double>(size) / static_cast<double>(data.size());
}

TEST(LooksIncompressibleTest, RandomBytesAreIncompressible) {
  const std::vector<uint8_t> noise = Noise(1 << 20);
  EXPECT_TRUE(LooksIncompressible(noise.data(), noise.size()));
  EXPECT_TRUE(LooksIncompressible(noise.data(), kIncompressibleSampleMin));
  EXPECT_FALSE(LooksIncompressible(noise.data(), kIncompressibleSampleMin - 1))
      << "too few to judge";
  EXPECT_LT(DeflateSaving(noise), 0.02);
}

// Bytes of every value in equal numbers (the entropy of noise), yet
// deflate halves them: the repeated strings give it away.
TEST(LooksIncompressibleTest, RepeatedNoiseCompresses) {
  const std::vector<uint8_t> block = Noise(8192);
  std::vector<uint8_t> repeated;
  for (int i = 0; i < 8; ++i) repeated.insert(repeated.end(), block.begin(), block.end());
  EXPECT_GT(DeflateSaving(repeated), 0.5);
  EXPECT_FALSE(LooksIncompressible(repeated.data(), repeated.size()));
}

// Text, and noise of a small alphabet, which Huffman coding shrinks.
TEST(LooksIncompressibleTest, FewDistinctBytesCompress) {
  std::vector<uint8_t> text;
  while (text.size() < 70000) {
    for (const char c : std::string("the quick brown fox jumps over the lazy dog\n"))
      text.push_back(c);
  }
  EXPECT_FALSE(LooksIncompressible(text.data(), text.size()));
  std::vector<uint8_t> small = Noise(70000);
  for (uint8_t& byte : small) byte &= 0x7F;
  EXPECT_GT(DeflateSaving(small), 0.05);
  EXPECT_FALSE(LooksIncompressible(small.data(), small.size()));
}

}  // namespace
}  // namespace kelvane
