// ZIP's checksum of an entry's bytes, for the writer and the reader alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvane {

// The CRC-32 of `n` bytes following bytes whose CRC-32 is `before`.
uint32_t Crc32(const uint8_t* data, size_t n, uint32_t before = 0);
// The CRC-32 of A followed by B, from the CRC of each and B's length.
uint32_t CombineCrc32(uint32_t crcA, uint32_t crcB, uint64_t lengthB);

}  // namespace kelvane
