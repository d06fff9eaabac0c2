// What a job asks to be told, and how mail goes out: the job's Notify*
// members and the user's mail server (profile section "Mail", as the user
// sets it once for all jobs).
#pragma once

#include <cstdint>
#include <string>

#include "run/run_report.h"

namespace kelvane {

class ProfileStore;

struct MailServer {
  std::wstring server;
  uint32_t port = 0;  // 0: the usual port of the security
  // "starttls" (the default), "tls", or "none", which only a server on the
  // loopback address may use: a password never crosses a network in clear.
  std::wstring security = L"starttls";
  std::wstring user;
  std::wstring password;  // deciphered; the profile keeps it enciphered
  std::wstring from;
};

MailServer ReadMailServer(const ProfileStore& profile);
// 0, or the result of the first write that failed.
uint32_t WriteMailServer(ProfileStore& profile, const MailServer& server);

// Why mail cannot go through `server` ("" when it can).
std::wstring MailServerProblem(const MailServer& server);

// The job's choice for desktop notices (0 never, 1 on errors or failure, 2
// always) and for mail and the webhook (0 on errors or failure, 1 always).
bool DesktopWantsToHear(uint32_t notifyDesktop, RunOutcome outcome);
bool MailAndWebhookWantToHear(uint32_t notifyOn, RunOutcome outcome);

}  // namespace kelvane
