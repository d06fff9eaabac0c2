#include "notify/notify_settings.h"

#include "job/password_codec.h"
#include "profile/profile_store.h"

namespace kelvane {
namespace {

constexpr char kSection[] = "Mail";

bool IsLoopback(const std::wstring& host) {
  return host == L"localhost" || host.starts_with(L"127.") || host == L"::1" || host == L"[::1]";
}

bool Troubled(RunOutcome outcome) { return outcome != RunOutcome::kCompleted; }

}  // namespace

MailServer ReadMailServer(const ProfileStore& profile) {
  MailServer server;
  server.server = profile.GetString(kSection, "Server", L"");
  server.port = static_cast<uint32_t>(profile.GetInt(kSection, "Port", 0));
  server.security = profile.GetString(kSection, "Security", L"starttls");
  server.user = profile.GetString(kSection, "User", L"");
  server.password = DecodePassword(profile.GetString(kSection, "Password", L"")).value_or(L"");
  server.from = profile.GetString(kSection, "From", L"");
  return server;
}

uint32_t WriteMailServer(ProfileStore& profile, const MailServer& server) {
  const std::pair<const char*, std::wstring> texts[] = {
      {"Server", server.server},
      {"Security", server.security},
      {"User", server.user},
      {"Password", EncodePassword(server.password)},
      {"From", server.from}};
  uint32_t failed = profile.WriteInt(kSection, "Port", static_cast<int32_t>(server.port));
  for (const auto& [key, value] : texts) {
    const uint32_t written = profile.WriteString(kSection, key, value);
    if (failed == 0) failed = written;
  }
  return failed;
}

std::wstring MailServerProblem(const MailServer& server) {
  if (server.server.empty()) return L"no mail server is set (profile section \"Mail\", \"Server\")";
  if (server.from.empty()) return L"no sender is set (profile section \"Mail\", \"From\")";
  if (server.security != L"starttls" && server.security != L"tls" && server.security != L"none") {
    return L"\"Security\" must be \"starttls\", \"tls\" or \"none\"";
  }
  if (server.security == L"none" && !IsLoopback(server.server)) {
    return L"\"Security\": \"none\" is only for a server on this machine (" + server.server +
           L" is not)";
  }
  return L"";
}

bool DesktopWantsToHear(uint32_t notifyDesktop, RunOutcome outcome) {
  return notifyDesktop >= 2 || (notifyDesktop == 1 && Troubled(outcome));
}

bool MailAndWebhookWantToHear(uint32_t notifyOn, RunOutcome outcome) {
  return notifyOn >= 1 || Troubled(outcome);
}

}  // namespace kelvane
