#include "archive/zip/crc32.h"

#include <libdeflate.h>
#include <zlib.h>

namespace kelvane {

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t before) {
  // libdeflate's folds the bytes with carry-less multiplication where the
  // processor has it: several times zlib's speed.
  return libdeflate_crc32(before, data, n);
}

uint32_t CombineCrc32(uint32_t crcA, uint32_t crcB, uint64_t lengthB) {
  return static_cast<uint32_t>(crc32_combine(crcA, crcB, static_cast<z_off_t>(lengthB)));
}

}  // namespace kelvane
