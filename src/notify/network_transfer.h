// The network calls of the notices, through libcurl: an HTTP POST and an
// SMTP delivery. Each has a time limit, so a server that never answers holds
// the end of a run no longer than that.
#pragma once

#include <string>
#include <vector>

#include "notify/notify_settings.h"

namespace kelvane {

// How long one call may take, connecting included.
inline constexpr long kNoticeSeconds = 10;

// "" when delivered; else why not, in one line.
std::wstring PostJson(const std::string& url, const std::string& body);
std::wstring SendMail(const MailServer& server, const std::vector<std::string>& recipients,
                      const std::string& message);

}  // namespace kelvane
