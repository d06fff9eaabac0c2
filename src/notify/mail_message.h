// A notice as a mail: plain UTF-8 text, the log attached, as SMTP carries it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

struct MailContent {
  std::wstring subject;
  std::wstring body;
  std::string attachmentName;  // none when empty
  std::string attachment;
};

// Whether `address` may stand in a header and an SMTP command: one "@",
// nothing that could end a line or an address (blanks, "<", ">", ",").
bool IsMailAddress(const std::string& address);

// The whole message with CRLF line ends; `wallSeconds` dates it (UTC).
// Subject, body and attachment are Base64, so no byte of theirs can forge a
// header or end the message.
std::string ComposeMail(const std::wstring& from, const std::vector<std::string>& to,
                        const MailContent& content, int64_t wallSeconds);

}  // namespace kelvane
