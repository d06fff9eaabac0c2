#include "util/format_text.h"

#include <charconv>
#include <cmath>

#include "platform/number_text.h"
#include "platform/text_codec.h"

namespace kelvane {

int64_t FormatArg::AsSigned() const {
  switch (kind_) {
    case Kind::kSigned: return signed_;
    case Kind::kUnsigned: return static_cast<int64_t>(unsigned_);
    case Kind::kDouble: return std::isfinite(double_) ? static_cast<int64_t>(double_) : 0;
    default: return 0;
  }
}

uint64_t FormatArg::AsUnsigned() const {
  return kind_ == Kind::kUnsigned ? unsigned_ : static_cast<uint64_t>(AsSigned());
}

double FormatArg::AsDouble() const {
  switch (kind_) {
    case Kind::kSigned: return static_cast<double>(signed_);
    case Kind::kUnsigned: return static_cast<double>(unsigned_);
    case Kind::kDouble: return double_;
    default: return 0;
  }
}

std::wstring FormatArg::AsWide() const {
  switch (kind_) {
    case Kind::kWide: return std::wstring(wide_);
    case Kind::kNarrow: return platform::FromNative(narrow_);
    default: return {};
  }
}

std::string FormatArg::AsNarrow() const {
  switch (kind_) {
    case Kind::kWide: return platform::ToNative(wide_);
    case Kind::kNarrow: return std::string(narrow_);
    default: return {};
  }
}

namespace {

struct Spec {
  bool leftAlign = false;
  bool plus = false;
  bool space = false;
  bool zeroPad = false;
  int width = 0;
  int precision = -1;
  char conversion = 0;
};

// Formats a number conversion into ASCII, without padding to the width.
std::string FormatNumber(const Spec& spec, const FormatArg& arg) {
  char digits[128];
  std::string sign;
  std::string body;
  const char c = spec.conversion;
  if (c == 'd' || c == 'i') {
    const int64_t v = arg.AsSigned();
    const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    if (v < 0) sign = "-";
    body.assign(digits, std::to_chars(digits, digits + sizeof digits, magnitude).ptr);
  } else if (c == 'u' || c == 'x' || c == 'X' || c == 'o') {
    const int base = c == 'o' ? 8 : (c == 'u' ? 10 : 16);
    body.assign(digits, std::to_chars(digits, digits + sizeof digits, arg.AsUnsigned(), base).ptr);
    if (c == 'X') {
      for (char& ch : body) ch = static_cast<char>(ch >= 'a' && ch <= 'f' ? ch - 32 : ch);
    }
  } else {
    const double v = arg.AsDouble();
    if (std::signbit(v) && !std::isnan(v)) sign = "-";
    const double magnitude = std::fabs(v);
    const int precision = spec.precision < 0 ? 6 : spec.precision;
    if (!std::isfinite(magnitude)) {
      body = std::isnan(magnitude) ? "nan" : "inf";
    } else if (c == 'g' || c == 'G') {
      body = platform::FormatDoubleG(magnitude, precision == 0 ? 1 : precision);
    } else {
      const auto format =
          (c == 'e' || c == 'E') ? std::chars_format::scientific : std::chars_format::fixed;
      body.assign(digits,
                  std::to_chars(digits, digits + sizeof digits, magnitude, format, precision).ptr);
    }
    if (c == 'E' || c == 'G' || c == 'F') {
      for (char& ch : body) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    }
    if (sign.empty() && spec.plus) sign = "+";
    if (sign.empty() && spec.space) sign = " ";
    return sign + body;
  }
  // Integer precision is a minimum number of digits.
  if (spec.precision >= 0 && body.size() < static_cast<size_t>(spec.precision)) {
    body.insert(0, static_cast<size_t>(spec.precision) - body.size(), '0');
  }
  if (sign.empty() && (c == 'd' || c == 'i') && spec.plus) sign = "+";
  if (sign.empty() && (c == 'd' || c == 'i') && spec.space) sign = " ";
  if (spec.zeroPad && !spec.leftAlign && spec.precision < 0 &&
      sign.size() + body.size() < static_cast<size_t>(spec.width)) {
    body.insert(0, static_cast<size_t>(spec.width) - sign.size() - body.size(), '0');
  }
  return sign + body;
}

template <class Char>
std::basic_string<Char> Widen(const std::string& ascii) {
  return std::basic_string<Char>(ascii.begin(), ascii.end());
}

template <class Char>
std::basic_string<Char> TextOf(const FormatArg& arg) {
  if constexpr (sizeof(Char) == 1) {
    return arg.AsNarrow();
  } else {
    return arg.AsWide();
  }
}

template <class Char>
std::basic_string<Char> FormatImpl(std::basic_string_view<Char> format,
                                   std::span<const FormatArg> args) {
  std::basic_string<Char> out;
  out.reserve(format.size() + 32);
  size_t next = 0;
  auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };
  auto readNumber = [&](size_t& i) {
    int n = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      n = std::min(n * 10 + static_cast<int>(format[i] - '0'), 4096);
      ++i;
    }
    return n;
  };

  for (size_t i = 0; i < format.size();) {
    if (format[i] != '%') {
      out.push_back(format[i++]);
      continue;
    }
    ++i;
    Spec spec;
    for (; i < format.size(); ++i) {
      const Char f = format[i];
      if (f == '-') spec.leftAlign = true;
      else if (f == '+') spec.plus = true;
      else if (f == ' ') spec.space = true;
      else if (f == '0') spec.zeroPad = true;
      else if (f != '#') break;
    }
    if (i < format.size() && format[i] == '*') {
      const FormatArg* a = take();
      spec.width = a ? static_cast<int>(std::min<int64_t>(a->AsSigned(), 4096)) : 0;
      if (spec.width < 0) spec.leftAlign = true, spec.width = -spec.width;
      ++i;
    } else {
      spec.width = readNumber(i);
    }
    if (i < format.size() && format[i] == '.') {
      ++i;
      if (i < format.size() && format[i] == '*') {
        const FormatArg* a = take();
        spec.precision = a ? static_cast<int>(std::min<int64_t>(a->AsSigned(), 4096)) : -1;
        ++i;
      } else {
        spec.precision = readNumber(i);
      }
    }
    while (i < format.size() &&
           (format[i] == 'l' || format[i] == 'h' || format[i] == 'z' || format[i] == 'j' ||
            format[i] == 't' || format[i] == 'L' || format[i] == 'q' || format[i] == 'I' ||
            format[i] == '6' || format[i] == '4')) {
      ++i;
    }
    if (i >= format.size()) break;
    spec.conversion = static_cast<char>(format[i++]);

    std::basic_string<Char> piece;
    switch (spec.conversion) {
      case '%': out.push_back('%'); continue;
      case 's':
      case 'S': {
        const FormatArg* a = take();
        if (!a) break;
        if (a->kind() == FormatArg::Kind::kWide || a->kind() == FormatArg::Kind::kNarrow) {
          piece = TextOf<Char>(*a);
          if (spec.precision >= 0 && piece.size() > static_cast<size_t>(spec.precision)) {
            piece.resize(static_cast<size_t>(spec.precision));
          }
        } else {
          Spec asNumber;
          asNumber.conversion = a->kind() == FormatArg::Kind::kDouble ? 'g' : 'd';
          piece = Widen<Char>(FormatNumber(asNumber, *a));
        }
        break;
      }
      case 'c':
      case 'C': {
        const FormatArg* a = take();
        if (a && a->kind() != FormatArg::Kind::kWide && a->kind() != FormatArg::Kind::kNarrow) {
          const auto code = static_cast<wchar_t>(a->AsUnsigned());
          if constexpr (sizeof(Char) == 1) {
            piece = platform::ToNative(std::wstring_view(&code, 1));
          } else {
            piece.push_back(code);
          }
        } else if (a) {
          piece = TextOf<Char>(*a).substr(0, 1);
        }
        break;
      }
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X':
      case 'o':
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G': {
        const FormatArg* a = take();
        if (!a) break;
        if (a->kind() == FormatArg::Kind::kWide || a->kind() == FormatArg::Kind::kNarrow) {
          piece = TextOf<Char>(*a);
        } else {
          piece = Widen<Char>(FormatNumber(spec, *a));
        }
        break;
      }
      default:
        // An unknown conversion is printed as it stands.
        out.push_back('%');
        out.push_back(static_cast<Char>(spec.conversion));
        continue;
    }
    if (piece.size() < static_cast<size_t>(spec.width)) {
      const size_t fill = static_cast<size_t>(spec.width) - piece.size();
      if (spec.leftAlign) {
        piece.append(fill, ' ');
      } else {
        piece.insert(0, fill, ' ');
      }
    }
    out += piece;
  }
  return out;
}

}  // namespace

std::wstring CountOf(uint64_t count, std::wstring_view one, std::wstring_view many) {
  return std::to_wstring(count) + L" " + std::wstring(count == 1 ? one : many);
}

std::wstring FormatTextList(std::wstring_view format, std::span<const FormatArg> args) {
  return FormatImpl<wchar_t>(format, args);
}

std::string FormatTextList(std::string_view format, std::span<const FormatArg> args) {
  return FormatImpl<char>(format, args);
}

}  // namespace kelvane
