// What a job's addresses and a run's texts can do to a mail: nothing beyond
// their own place in it.
#include "notify/mail_message.h"

#include <gtest/gtest.h>

#include "notify/run_notices.h"

namespace kelvane {
namespace {

TEST(MailMessageTest, OnlyPlainAddressesAreTakenAndNoTextForgesAHeader) {
  const std::pair<std::string, bool> addresses[] = {
      // clang-format off
      {"ops@example.org", true}, {"a.b+backup@mail.example", true}, {"no-at.example", false},
      {"two@@example.org", false}, {"@example.org", false}, {"ops@", false},
      {"ops@example.org\r\nBcc: all@example.org", false}, {"a b@example.org", false},
      {"<ops@example.org>", false}, {"a@x,b@y", false},
      // clang-format on
  };
  for (const auto& [address, valid] : addresses)
    EXPECT_EQ(IsMailAddress(address), valid) << address;

  const MailContent content{L"Kelvane: Daily\r\nBcc: all@example.org completed",
                            L"line\r\n.\r\nQUIT\r\n", "../evil\r\nX: y.log", "log\r\n.\r\n"};
  const std::string mail = ComposeMail(L"kelvane@example.org", {"ops@example.org"}, content, 0);
  for (const char* forged : {"\r\nBcc:", "\r\n.\r\n", "\r\nX: y", "../"}) {
    EXPECT_EQ(mail.find(forged), std::string::npos) << forged;
  }
  EXPECT_NE(mail.find("\r\nDate: Thu, 01 Jan 1970 00:00:00 +0000\r\n"), std::string::npos);
}

TEST(RunNoticesTest, PingUrlsAreThoseOfHealthchecks) {
  for (const auto& [url, ping] : {std::pair{"https://hc-ping.com/5f2c", true},
                                  {"https://hc.example.org/ping/5f2c", true},
                                  {"http://127.0.0.1:8000/ping/0f2c", true},
                                  {"https://hooks.example.org/kelvane", false},
                                  {"https://hc-ping.com.evil.example/x", false}}) {
    EXPECT_EQ(IsPingUrl(url), ping) << url;
  }
}

}  // namespace
}  // namespace kelvane
