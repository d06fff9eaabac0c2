// Conversions between the program's wide text and the byte and UTF-16 forms the
// outside world wants.
//
// Wide text (std::wstring) holds one Unicode code point per wchar_t. The native
// byte form of a file name is UTF-8, but Linux allows any bytes in a name, so
// FromNative maps every byte that is not part of valid UTF-8 to the lone code
// point U+DC00 + byte (0xDC80..0xDCFF) and ToNative maps those back: every name
// the system reports survives the trip into wide text and back byte for byte.
//
// Rules that the job file defines on UTF-16 code units (list order, hashes,
// password bytes) use ToUtf16 / CompareUtf16.
//
// All functions are pure and thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane::platform {

// Wide text to the OS's byte form. Escaped bytes (U+DC80..U+DCFF) become the raw
// byte again; other code points that UTF-8 cannot carry (other lone surrogates,
// values above U+10FFFF) become U+FFFD.
std::string ToNative(std::wstring_view text);

// The OS's byte form to wide text; lossless (see above).
std::wstring FromNative(std::string_view bytes);

// Wide text to strictly valid UTF-8 for readers that require it (log files):
// every code point UTF-8 cannot carry, escaped bytes included, becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// Wide text to UTF-16 code units; code points above U+FFFF become surrogate
// pairs, lone surrogate code points stay single units.
std::u16string ToUtf16(std::wstring_view text);

// UTF-16 code units to wide text; pairs are joined, lone surrogates kept as is.
std::wstring FromUtf16(std::u16string_view units);

// Orders two texts as their UTF-16 forms would order by code unit (<0, 0, >0).
int CompareUtf16(std::wstring_view a, std::wstring_view b);

// Sorts `texts` as their UTF-16 forms order by code unit and drops exact
// duplicates: the order the job file keeps its lists in.
void SortUniqueByUtf16(std::vector<std::wstring>& texts);

// Appends the UTF-8 form of one code point (which must be at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t codePoint);

// True for a code point that marks an escaped native byte.
inline bool IsEscapedByte(wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Whether `bytes` are valid UTF-8 text.
bool IsValidUtf8(std::string_view bytes);

}  // namespace kelvane::platform
