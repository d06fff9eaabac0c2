// A quick look at bytes that tells when deflate cannot save even 2 % on
// them, for a small part of deflate's cost: compressed media, archives and
// random data are then stored without being deflated first.
//
// Deflate saves in two ways: Huffman coding of the bytes (bounded by their
// order-0 entropy) and references to repeated strings within 32 KiB. Bytes
// whose entropy is above 7.84 bits a byte (Huffman saves under 2 %) and in
// which 4-byte strings hardly ever repeat give deflate nothing to work with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvane {

// How many bytes the look needs to be trusted; fewer are never judged.
inline constexpr size_t kIncompressibleSampleMin = 4096;

// True when deflate would save less than about 2 % on `data`, judged from
// its first 16 KiB. False for fewer than kIncompressibleSampleMin bytes.
bool LooksIncompressible(const uint8_t* data, size_t n);

}  // namespace kelvane
