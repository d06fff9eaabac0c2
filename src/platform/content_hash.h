// The SHA-256 of a file's content, as a backup records it and a check or a
// restore compares it. Computed with nettle, which uses the CPU's SHA
// instructions where it has them.
#pragma once

#include <nettle/md5.h>
#include <nettle/sha1.h>
#include <nettle/sha2.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane::platform {

using Sha256Digest = std::array<uint8_t, 32>;

// What was read of one file's content: its digest and how many bytes it was.
struct ContentDigest {
  Sha256Digest sha256{};
  uint64_t size = 0;
  bool operator==(const ContentDigest&) const = default;
};

// Hashes bytes fed to it in order.
class Sha256 {
 public:
  Sha256() { Reset(); }
  void Reset();
  void Add(const void* data, size_t n);
  // The digest of everything added since the last Reset.
  ContentDigest Finish();

 private:
  sha256_ctx context_;
  uint64_t size_ = 0;
};

ContentDigest DigestOf(std::string_view bytes);

// One of the hashes storage services report ("sha256", "sha1", "md5"), as
// lower-case hexadecimal; an unknown name hashes nothing and gives "".
class NamedHash {
 public:
  explicit NamedHash(std::string_view name);
  void Add(const void* data, size_t n);
  std::string HexFinish();

 private:
  std::string name_;
  sha256_ctx sha256_;
  sha1_ctx sha1_;
  md5_ctx md5_;
};

// Lower-case hexadecimal, as sha256sum prints it; and back (false for text
// that is not 64 hexadecimal digits).
std::string HexText(const Sha256Digest& digest);
bool ParseHexDigest(std::string_view text, Sha256Digest* digest);

}  // namespace kelvane::platform
