#include "platform/content_hash.h"

namespace kelvane::platform {

void Sha256::Reset() {
  sha256_init(&context_);
  size_ = 0;
}

void Sha256::Add(const void* data, size_t n) {
  sha256_update(&context_, n, static_cast<const uint8_t*>(data));
  size_ += n;
}

ContentDigest Sha256::Finish() {
  ContentDigest digest;
  sha256_digest(&context_, digest.sha256.size(), digest.sha256.data());
  digest.size = size_;
  Reset();
  return digest;
}

ContentDigest DigestOf(std::string_view bytes) {
  Sha256 hash;
  hash.Add(bytes.data(), bytes.size());
  return hash.Finish();
}

std::string HexText(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(digest.size() * 2);
  for (const uint8_t byte : digest) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 15]);
  }
  return text;
}

bool ParseHexDigest(std::string_view text, Sha256Digest* digest) {
  if (text.size() != digest->size() * 2) return false;
  auto value = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < digest->size(); ++i) {
    const int high = value(text[2 * i]);
    const int low = value(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*digest)[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

NamedHash::NamedHash(std::string_view name) : name_(name) {
  sha256_init(&sha256_);
  sha1_init(&sha1_);
  md5_init(&md5_);
}

void NamedHash::Add(const void* data, size_t n) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (name_ == "sha256") sha256_update(&sha256_, n, bytes);
  if (name_ == "sha1") sha1_update(&sha1_, n, bytes);
  if (name_ == "md5") md5_update(&md5_, n, bytes);
}

std::string NamedHash::HexFinish() {
  uint8_t digest[SHA256_DIGEST_SIZE];
  size_t size = 0;
  if (name_ == "sha256") sha256_digest(&sha256_, size = SHA256_DIGEST_SIZE, digest);
  if (name_ == "sha1") sha1_digest(&sha1_, size = SHA1_DIGEST_SIZE, digest);
  if (name_ == "md5") md5_digest(&md5_, size = MD5_DIGEST_SIZE, digest);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text.push_back(kDigits[digest[i] >> 4]);
    text.push_back(kDigits[digest[i] & 15]);
  }
  return text;
}

}  // namespace kelvane::platform
