#include "job/password_codec.h"

#include <nettle/arcfour.h>
#include <nettle/base64.h>
#include <nettle/md5.h>

#include <cstdint>
#include <vector>

#include "platform/text_codec.h"

namespace kelvane {
namespace {

// Fixed forever: changing it makes every stored password unreadable.
constexpr std::wstring_view kKeyText = L"Kelvane job password key 2026-12!";
static_assert(kKeyText.size() == 33);

void Cipher(std::vector<uint8_t>& bytes) {
  // The key hashes as many bytes as the key text has characters: all of the
  // first 16 UTF-16LE characters and the low byte of the 17th.
  const std::u16string units = platform::ToUtf16(kKeyText);
  uint8_t keyBytes[33];
  for (size_t i = 0; i < sizeof keyBytes; ++i) {
    const char16_t unit = units[i / 2];
    keyBytes[i] = static_cast<uint8_t>(i % 2 == 0 ? unit & 0xFF : unit >> 8);
  }
  md5_ctx md5;
  md5_init(&md5);
  md5_update(&md5, sizeof keyBytes, keyBytes);
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&md5, sizeof digest, digest);

  arcfour_ctx rc4;
  arcfour_set_key(&rc4, sizeof digest, digest);
  arcfour_crypt(&rc4, bytes.size(), bytes.data(), bytes.data());
}

}  // namespace

std::wstring EncodePassword(std::wstring_view password) {
  if (password.empty()) return {};
  const std::u16string units = platform::ToUtf16(password);
  std::vector<uint8_t> bytes;
  bytes.reserve(units.size() * 2 + 1);
  for (char16_t unit : units) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  Cipher(bytes);

  std::string text(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
  base64_encode_raw(text.data(), bytes.size(), bytes.data());
  return platform::FromNative(text);
}

std::optional<std::wstring> DecodePassword(std::wstring_view stored) {
  if (stored.empty()) return std::wstring();
  const std::string text = platform::ToNative(stored);
  std::vector<uint8_t> bytes(BASE64_DECODE_LENGTH(text.size()));
  base64_decode_ctx ctx;
  base64_decode_init(&ctx);
  size_t length = bytes.size();
  if (!base64_decode_update(&ctx, &length, bytes.data(), text.size(), text.data()) ||
      !base64_decode_final(&ctx)) {
    return std::nullopt;
  }
  bytes.resize(length);
  // Only the one spelling EncodePassword writes: no blanks, no stray bits.
  std::string canonical(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
  base64_encode_raw(canonical.data(), bytes.size(), bytes.data());
  if (canonical != text || bytes.size() < 3 || bytes.size() % 2 == 0) return std::nullopt;
  Cipher(bytes);
  if (bytes.back() != 0) return std::nullopt;

  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  std::wstring password = platform::FromUtf16(units);
  // Pairs are joined by now: a surrogate left is one without its partner.
  for (const wchar_t c : password) {
    if (c < 0x20 || c == 0x7F || c == 0xFFFE || c == 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      return std::nullopt;
    }
  }
  return password;
}

}  // namespace kelvane
