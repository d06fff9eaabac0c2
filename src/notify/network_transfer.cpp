#include "notify/network_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/text_codec.h"

namespace kelvane {
namespace {

struct Easy {
  Easy() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    handle = curl_easy_init();
  }
  ~Easy() {
    if (handle) curl_easy_cleanup(handle);
  }
  CURL* handle = nullptr;
  char error[CURL_ERROR_SIZE] = {};
};

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

// Shared by both calls: the limits, no signals (the run's handlers stay
// its own), no redirects to follow, only the protocols asked for.
void Limit(Easy& easy, const char* protocols) {
  curl_easy_setopt(easy.handle, CURLOPT_ERRORBUFFER, easy.error);
  curl_easy_setopt(easy.handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy.handle, CURLOPT_TIMEOUT, kNoticeSeconds);
  curl_easy_setopt(easy.handle, CURLOPT_CONNECTTIMEOUT, kNoticeSeconds);
  curl_easy_setopt(easy.handle, CURLOPT_PROTOCOLS_STR, protocols);
  curl_easy_setopt(easy.handle, CURLOPT_WRITEFUNCTION, Discard);
}

std::wstring Failure(const Easy& easy, CURLcode code) {
  const std::string text = easy.error[0] ? easy.error : curl_easy_strerror(code);
  return platform::FromNative(text);
}

struct Reader {
  const std::string* text;
  size_t at = 0;
};

size_t ReadOut(char* buffer, size_t size, size_t count, void* data) {
  auto* reader = static_cast<Reader*>(data);
  const size_t n = std::min(size * count, reader->text->size() - reader->at);
  std::memcpy(buffer, reader->text->data() + reader->at, n);
  reader->at += n;
  return n;
}

}  // namespace

std::wstring PostJson(const std::string& url, const std::string& body) {
  Easy easy;
  if (!easy.handle) return L"libcurl could not start";
  Limit(easy, "http,https");
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  curl_easy_setopt(easy.handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy.handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy.handle, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(easy.handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  const CURLcode code = curl_easy_perform(easy.handle);
  long status = 0;
  curl_easy_getinfo(easy.handle, CURLINFO_RESPONSE_CODE, &status);
  curl_slist_free_all(headers);
  if (code != CURLE_OK) return Failure(easy, code);
  if (status >= 400) return L"the server answered " + std::to_wstring(status);
  return L"";
}

std::wstring SendMail(const MailServer& server, const std::vector<std::string>& recipients,
                      const std::string& message) {
  Easy easy;
  if (!easy.handle) return L"libcurl could not start";
  Limit(easy, "smtp,smtps");
  const bool tls = server.security == L"tls";
  const uint32_t port = server.port ? server.port : tls ? 465 : 587;
  const std::string url = std::string(tls ? "smtps://" : "smtp://") +
                          platform::ToUtf8(server.server) + ":" + std::to_string(port);
  curl_easy_setopt(easy.handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy.handle, CURLOPT_USE_SSL,
                   server.security == L"none" ? CURLUSESSL_NONE : CURLUSESSL_ALL);
  const std::string user = platform::ToUtf8(server.user);
  const std::string password = platform::ToUtf8(server.password);
  if (!user.empty()) {
    curl_easy_setopt(easy.handle, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(easy.handle, CURLOPT_PASSWORD, password.c_str());
  }
  const std::string from = "<" + platform::ToUtf8(server.from) + ">";
  curl_easy_setopt(easy.handle, CURLOPT_MAIL_FROM, from.c_str());
  curl_slist* to = nullptr;
  for (const std::string& recipient : recipients) {
    to = curl_slist_append(to, ("<" + recipient + ">").c_str());
  }
  curl_easy_setopt(easy.handle, CURLOPT_MAIL_RCPT, to);
  Reader reader{&message};
  curl_easy_setopt(easy.handle, CURLOPT_READFUNCTION, ReadOut);
  curl_easy_setopt(easy.handle, CURLOPT_READDATA, &reader);
  curl_easy_setopt(easy.handle, CURLOPT_UPLOAD, 1L);
  const CURLcode code = curl_easy_perform(easy.handle);
  curl_slist_free_all(to);
  return code == CURLE_OK ? L"" : Failure(easy, code);
}

}  // namespace kelvane
