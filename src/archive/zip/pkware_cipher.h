// The traditional PKWARE encryption of ZIP entries ("ZipCrypto").
//
// Weak by today's standards, but it is what every ZIP tool can open; a 7z
// target offers AES-256 instead. Debian's minizip has this cipher built in, but
// on 64-bit Linux it reads zlib's CRC table with the wrong stride and writes
// entries no tool can decrypt, so the writer does it here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvane {

class PkwareCipher {
 public:
  // Keys derived from the password bytes.
  explicit PkwareCipher(std::string_view password);

  // Makes the 12-byte encryption header that precedes an entry's data: ten
  // random bytes and the two bytes of `check` (low byte first), encrypted.
  // Readers compare the last one with their own: the CRC's high byte, or,
  // for an entry with a data descriptor, the high byte of its DOS time.
  // Returns 0 or the errno value of the random source.
  int MakeHeader(uint16_t check, uint8_t header[12]);

  // Encrypts, respectively decrypts, `n` bytes in place.
  void Encrypt(uint8_t* data, size_t n);
  void Decrypt(uint8_t* data, size_t n);

 private:
  void UpdateKeys(uint8_t plain);
  uint8_t StreamByte() const;

  uint32_t keys_[3];
};

}  // namespace kelvane
