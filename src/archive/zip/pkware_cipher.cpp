#include "archive/zip/pkware_cipher.h"

#include <zlib.h>

#include "platform/random_bytes.h"

namespace kelvane {
namespace {

uint32_t Crc32Byte(uint32_t crc, uint8_t byte) {
  static const z_crc_t* const table = get_crc_table();
  return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

PkwareCipher::PkwareCipher(std::string_view password) : keys_{0x12345678, 0x23456789, 0x34567890} {
  for (char c : password) UpdateKeys(static_cast<uint8_t>(c));
}

void PkwareCipher::UpdateKeys(uint8_t plain) {
  keys_[0] = Crc32Byte(keys_[0], plain);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813 + 1;
  keys_[2] = Crc32Byte(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
}

uint8_t PkwareCipher::StreamByte() const {
  const uint32_t temp = (keys_[2] & 0xFFFF) | 2;
  return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

void PkwareCipher::Encrypt(uint8_t* data, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const uint8_t plain = data[i];
    data[i] = plain ^ StreamByte();
    UpdateKeys(plain);
  }
}

void PkwareCipher::Decrypt(uint8_t* data, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    data[i] ^= StreamByte();
    UpdateKeys(data[i]);
  }
}

int PkwareCipher::MakeHeader(uint16_t check, uint8_t header[12]) {
  if (const int error = platform::RandomBytes(header, 10); error != 0) return error;
  header[10] = static_cast<uint8_t>(check);
  header[11] = static_cast<uint8_t>(check >> 8);
  Encrypt(header, 12);
  return 0;
}

}  // namespace kelvane
