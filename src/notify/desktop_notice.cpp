#include "notify/desktop_notice.h"

#include <libnotify/notify.h>

#include <cctype>

#include "platform/environment.h"
#include "platform/text_codec.h"

namespace kelvane {
namespace {

// The service reads the body as markup: text is escaped.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A file URL: every byte but the unreserved ones percent-encoded.
std::string FileUrl(const std::string& path) {
  std::string url = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      url += c;
    } else {
      static const char kDigits[] = "0123456789ABCDEF";
      url += '%';
      url += kDigits[byte >> 4];
      url += kDigits[byte & 15];
    }
  }
  return url;
}

}  // namespace

std::wstring ShowDesktopNotice(const std::wstring& title, const std::wstring& body,
                               const std::wstring& logPath, bool* noDesktop) {
  *noDesktop = platform::EnvironmentValue("DBUS_SESSION_BUS_ADDRESS").empty();
  if (*noDesktop) return L"";
  if (!notify_is_initted() && !notify_init("Kelvane")) return L"libnotify could not start";
  std::string text = Escaped(platform::ToUtf8(body));
  if (!logPath.empty()) {
    const std::string log = platform::ToNative(logPath);
    text += "\n<a href=\"" + Escaped(FileUrl(log)) + "\">" + Escaped(log) + "</a>";
  }
  NotifyNotification* notice =
      notify_notification_new(platform::ToUtf8(title).c_str(), text.c_str(), "kelvane");
  GError* error = nullptr;
  const bool shown = notify_notification_show(notice, &error);
  std::wstring why;
  if (!shown) why = platform::FromNative(error ? error->message : "the notice was not shown");
  if (error) g_error_free(error);
  g_object_unref(G_OBJECT(notice));
  notify_uninit();
  return why;
}

}  // namespace kelvane
