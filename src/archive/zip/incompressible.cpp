#include "archive/zip/incompressible.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvane {
namespace {

constexpr size_t kSample = 16384;               // random data shows itself well within it
constexpr double kEntropyBound = 7.84;          // bits a byte: 2 % below 8
constexpr double kRepeatedStringsBound = 0.01;  // of the positions

uint32_t Load32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

}  // namespace

bool LooksIncompressible(const uint8_t* data, size_t n) {
  if (n < kIncompressibleSampleMin) return false;
  n = std::min(n, kSample);

  // Four tables, so runs of one byte do not wait on their own counts.
  uint32_t counts[4][256] = {};
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    ++counts[0][data[i]];
    ++counts[1][data[i + 1]];
    ++counts[2][data[i + 2]];
    ++counts[3][data[i + 3]];
  }
  for (; i < n; ++i) ++counts[0][data[i]];
  double entropy = 0;
  for (int b = 0; b < 256; ++b) {
    const uint32_t count = counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];
    if (count == 0) continue;
    const double p = static_cast<double>(count) / static_cast<double>(n);
    entropy -= p * std::log2(p);
  }
  if (entropy < kEntropyBound) return false;

  // Where each 4-byte string was last seen (by hash, in a table that stays
  // in the first-level cache), to count the positions at which one comes
  // again: what deflate's matches would use. An empty slot points at the
  // start, which only counts when the string there does come again.
  constexpr int kHashBits = 13;
  uint32_t lastSeen[size_t{1} << kHashBits] = {};
  size_t repeats = 0;
  for (size_t at = 1; at + 4 <= n; ++at) {
    const uint32_t word = Load32(data + at);
    const uint32_t hash = (word * 2654435761u) >> (32 - kHashBits);
    repeats += Load32(data + lastSeen[hash]) == word;
    lastSeen[hash] = static_cast<uint32_t>(at);
  }
  return static_cast<double>(repeats) < kRepeatedStringsBound * static_cast<double>(n);
}

}  // namespace kelvane
