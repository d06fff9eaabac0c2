// printf-style formatting of the program's texts.
//
// FormatText understands the printf conversions the program's texts use and
// takes its values type-safely, so a wrong argument can never crash it:
//   %d %i %ld %u %lu %llu %x %X %o %c  integers (length letters are accepted and
//                                       ignored: every integer is 64-bit here)
//   %f %e %g (and upper case)           doubles, always with a decimal point
//   %s %S %ls %hs                       texts, wide or narrow, whichever is given
//   %%                                  a percent sign
// with the flags - + space 0 #, a width and a precision (* takes them from the
// arguments). A missing argument prints nothing; surplus arguments are ignored.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelvane {

// One value for FormatText; built implicitly from numbers and texts.
class FormatArg {
 public:
  enum class Kind { kSigned, kUnsigned, kDouble, kWide, kNarrow };

  FormatArg(int v) : kind_(Kind::kSigned), signed_(v) {}
  FormatArg(long v) : kind_(Kind::kSigned), signed_(v) {}
  FormatArg(long long v) : kind_(Kind::kSigned), signed_(v) {}
  FormatArg(unsigned v) : kind_(Kind::kUnsigned), unsigned_(v) {}
  FormatArg(unsigned long v) : kind_(Kind::kUnsigned), unsigned_(v) {}
  FormatArg(unsigned long long v) : kind_(Kind::kUnsigned), unsigned_(v) {}
  FormatArg(double v) : kind_(Kind::kDouble), double_(v) {}
  FormatArg(wchar_t v) : kind_(Kind::kUnsigned), unsigned_(static_cast<uint32_t>(v)) {}
  FormatArg(char v) : kind_(Kind::kUnsigned), unsigned_(static_cast<unsigned char>(v)) {}
  FormatArg(const wchar_t* v) : kind_(Kind::kWide), wide_(v ? v : L"") {}
  FormatArg(const std::wstring& v) : kind_(Kind::kWide), wide_(v) {}
  FormatArg(std::wstring_view v) : kind_(Kind::kWide), wide_(v) {}
  FormatArg(const char* v) : kind_(Kind::kNarrow), narrow_(v ? v : "") {}
  FormatArg(const std::string& v) : kind_(Kind::kNarrow), narrow_(v) {}
  FormatArg(std::string_view v) : kind_(Kind::kNarrow), narrow_(v) {}

  Kind kind() const { return kind_; }
  int64_t AsSigned() const;
  uint64_t AsUnsigned() const;
  double AsDouble() const;
  std::wstring AsWide() const;
  std::string AsNarrow() const;

 private:
  Kind kind_;
  int64_t signed_ = 0;
  uint64_t unsigned_ = 0;
  double double_ = 0;
  std::wstring_view wide_;
  std::string_view narrow_;
};

std::wstring FormatTextList(std::wstring_view format, std::span<const FormatArg> args);
std::string FormatTextList(std::string_view format, std::span<const FormatArg> args);

// "1 file", "3 files": a count with its noun in agreement, for English lines.
std::wstring CountOf(uint64_t count, std::wstring_view one, std::wstring_view many);

template <class... Args>
std::wstring FormatText(std::wstring_view format, const Args&... args) {
  const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
  return FormatTextList(format, list);
}

template <class... Args>
std::string FormatText(std::string_view format, const Args&... args) {
  const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
  return FormatTextList(format, list);
}

}  // namespace kelvane
