#include "platform/text_codec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kelvane::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

namespace {

// Decodes one UTF-8 sequence at bytes[i]. Returns its length, or 0 when the bytes
// there are not a valid, shortest-form sequence of a scalar value.
size_t DecodeUtf8(std::string_view bytes, size_t i, char32_t* out) {
  const auto b0 = static_cast<unsigned char>(bytes[i]);
  if (b0 < 0x80) {
    *out = b0;
    return 1;
  }
  size_t length;
  char32_t c;
  char32_t minimum;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, c = b0 & 0x1F, minimum = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, c = b0 & 0x0F, minimum = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, c = b0 & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || IsSurrogate(c)) return 0;
  *out = c;
  return length;
}

// Walks a wide text as UTF-16 code units without building the UTF-16 string.
class Utf16Units {
 public:
  explicit Utf16Units(std::wstring_view text) : text_(text) {}
  bool Next(char16_t* unit) {
    if (pendingLow_ != 0) {
      *unit = pendingLow_;
      pendingLow_ = 0;
      return true;
    }
    if (pos_ == text_.size()) return false;
    auto c = static_cast<char32_t>(text_[pos_++]);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      *unit = static_cast<char16_t>(0xD800 + (c >> 10));
      pendingLow_ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      *unit = c > 0x10FFFF ? static_cast<char16_t>(kReplacement) : static_cast<char16_t>(c);
    }
    return true;
  }

 private:
  std::wstring_view text_;
  size_t pos_ = 0;
  char16_t pendingLow_ = 0;
};

}  // namespace

std::string ToNative(std::wstring_view text) {
  // Most names are ASCII to their end: those characters are their bytes.
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<uint32_t>(text[ascii]) < 0x80) ++ascii;
  std::string out(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(ascii));
  if (ascii == text.size()) return out;
  out.reserve(text.size() + 8);
  for (wchar_t w : text.substr(ascii)) {
    const auto c = static_cast<char32_t>(w);
    if (IsEscapedByte(w)) {
      out.push_back(static_cast<char>(c - 0xDC00));
    } else if (IsSurrogate(c) || c > 0x10FFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::wstring FromNative(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t c;
    const size_t length = DecodeUtf8(bytes, i, &c);
    if (length == 0) {
      out.push_back(static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(bytes[i])));
      ++i;
    } else {
      out.push_back(static_cast<wchar_t>(c));
      i += length;
    }
  }
  return out;
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t w : text) {
    const auto c = static_cast<char32_t>(w);
    AppendUtf8(out, IsSurrogate(c) || c > 0x10FFFF ? kReplacement : c);
  }
  return out;
}

std::u16string ToUtf16(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  Utf16Units units(text);
  char16_t unit;
  while (units.Next(&unit)) out.push_back(unit);
  return out;
}

std::wstring FromUtf16(std::u16string_view units) {
  std::wstring out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                         (static_cast<char32_t>(units[i + 1]) - 0xDC00);
      out.push_back(static_cast<wchar_t>(c));
      ++i;
    } else {
      out.push_back(static_cast<wchar_t>(u));
    }
  }
  return out;
}

void SortUniqueByUtf16(std::vector<std::wstring>& texts) {
  std::sort(texts.begin(), texts.end(),
            [](const std::wstring& a, const std::wstring& b) { return CompareUtf16(a, b) < 0; });
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
}

int CompareUtf16(std::wstring_view a, std::wstring_view b) {
  Utf16Units ua(a);
  Utf16Units ub(b);
  for (;;) {
    char16_t x;
    char16_t y;
    const bool hasX = ua.Next(&x);
    const bool hasY = ub.Next(&y);
    if (!hasX || !hasY) return hasX ? 1 : (hasY ? -1 : 0);
    if (x != y) return x < y ? -1 : 1;
  }
}

bool IsValidUtf8(std::string_view bytes) {
  // Called for every name a manifest records: no text is built to answer.
  for (size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t c;
    const size_t length = DecodeUtf8(bytes, i, &c);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

}  // namespace kelvane::platform
