// How a job file keeps the archive password: not in plain sight.
//
// The bytes are the password in UTF-16LE plus one zero byte, enciphered with
// RC4 keyed by the MD5 digest of the first 33 bytes of the UTF-16LE form of a
// fixed 33-character key text, then written as standard Base64 with padding.
// A fresh key stream is used for every value, so saving twice gives the same
// text. This hides the password from a casual look; it is not protection
// against anyone who has the program.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// The stored text for `password`; the empty text for an empty password.
std::wstring EncodePassword(std::wstring_view password);

// The password for a stored text (the empty text for an empty one), or nothing
// when the text is not the enciphered form of a password: not canonical
// Base64, or deciphering gives no text of the shape EncodePassword writes
// (UTF-16 with one zero byte at the end, no control characters, no unpaired
// surrogates). A password typed into the file in plain text is caught this
// way, except by a chance of well under 1 in 500.
std::optional<std::wstring> DecodePassword(std::wstring_view stored);

}  // namespace kelvane
