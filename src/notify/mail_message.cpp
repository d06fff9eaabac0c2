#include "notify/mail_message.h"

#include <nettle/base64.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/random_bytes.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

std::string Base64(std::string_view bytes) {
  std::string out(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
  base64_encode_raw(out.data(), bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
  return out;
}

// Base64 in lines of 76 characters, each ended by CRLF.
std::string Base64Lines(std::string_view bytes) {
  const std::string text = Base64(bytes);
  std::string out;
  for (size_t at = 0; at < text.size(); at += 76) out += text.substr(at, 76) + "\r\n";
  return out;
}

// An encoded word per 45 bytes, whole UTF-8 characters each.
std::string EncodedHeader(const std::string& text) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.size(), at + 45);
    while (end < text.size() && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(std::string_view(text).substr(at, end - at)) + "?=";
    at = end;
  }
  return out;
}

// RFC 5322's date, in UTC, without the locale's names.
std::string MailDate(int64_t seconds) {
  static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  const int64_t inDay = seconds - days * 86400;
  // Days to a civil date (Howard Hinnant's algorithm).
  const int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153, day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9, year = yoe + era * 400 + (month <= 2);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000",
                kDays[((days % 7) + 7) % 7], static_cast<int>(day), kMonths[month - 1],
                static_cast<int>(year), static_cast<int>(inDay / 3600),
                static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
  return text;
}

std::string RandomHex(size_t bytes) {
  std::string raw(bytes, '\0');
  (void)platform::RandomBytes(raw.data(), raw.size());
  std::string hex;
  for (const char c : raw) {
    static const char kDigits[] = "0123456789abcdef";
    hex += kDigits[static_cast<uint8_t>(c) >> 4];
    hex += kDigits[static_cast<uint8_t>(c) & 15];
  }
  return hex;
}

// The attachment's name as a header may carry it.
std::string SafeName(const std::string& name) {
  std::string safe = name;
  for (char& c : safe) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') c = '_';
  }
  return safe;
}

}  // namespace

bool IsMailAddress(const std::string& address) {
  if (std::count(address.begin(), address.end(), '@') != 1 || address.front() == '@' ||
      address.back() == '@') {
    return false;
  }
  return std::none_of(address.begin(), address.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '<' || c == '>' || c == ',' || c == 0x7F;
  });
}

std::string ComposeMail(const std::wstring& from, const std::vector<std::string>& to,
                        const MailContent& content, int64_t wallSeconds) {
  const std::string boundary = "kelvane-" + RandomHex(12);
  std::string recipients;
  for (const std::string& address : to) recipients += (recipients.empty() ? "" : ", ") + address;
  std::string mail = "From: <" + platform::ToUtf8(from) + ">\r\nTo: " + recipients +
                     "\r\nSubject: " + EncodedHeader(platform::ToUtf8(content.subject)) +
                     "\r\nDate: " + MailDate(wallSeconds) + "\r\nMessage-ID: <" + RandomHex(16) +
                     "@kelvane>\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/mixed; boundary=\"" +
                     boundary + "\"\r\n\r\n";
  mail += "--" + boundary +
          "\r\nContent-Type: text/plain; charset=UTF-8\r\n"
          "Content-Transfer-Encoding: base64\r\n\r\n" +
          Base64Lines(platform::ToUtf8(content.body));
  if (!content.attachmentName.empty()) {
    const std::string name = SafeName(content.attachmentName);
    mail += "--" + boundary + "\r\nContent-Type: text/plain; charset=UTF-8; name=\"" + name +
            "\"\r\nContent-Disposition: attachment; filename=\"" + name +
            "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Base64Lines(content.attachment);
  }
  return mail + "--" + boundary + "--\r\n";
}

}  // namespace kelvane
