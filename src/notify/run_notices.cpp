#include "notify/run_notices.h"

#include <algorithm>
#include <memory>

#include "language/language_table.h"
#include "notify/desktop_notice.h"
#include "notify/mail_message.h"
#include "notify/network_transfer.h"
#include "notify/notify_settings.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "run/run_outcome.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

// A log larger than this goes by its errors in the body only.
constexpr size_t kAttachedLogBytes = 1 << 20;
constexpr size_t kErrorLinesInMail = 50;

// The start of the file at `path`, at most `limit` bytes; "" when it cannot
// be read.
std::string ReadStart(const std::wstring& path, size_t limit, bool* whole) {
  std::unique_ptr<platform::FileStream> file;
  *whole = false;
  if (path.empty() ||
      !platform::Fs().OpenStream(path, platform::FileStream::kReadExisting, &file).ok()) {
    return "";
  }
  std::string text(limit + 1, '\0');
  size_t filled = 0;
  for (size_t got = 1; got > 0 && filled < text.size(); filled += got) {
    if (file->Read(text.data() + filled, text.size() - filled, &got) != 0) break;
  }
  text.resize(filled);
  *whole = filled <= limit;
  if (!*whole) text.resize(limit);
  return text;
}

// The log's lines that tell of trouble: not what was taken or left out.
std::wstring LogErrors(const std::string& log) {
  std::wstring out;
  size_t shown = 0;
  for (size_t at = 0; at < log.size();) {
    const size_t end = std::min(log.find('\n', at), log.size());
    const std::string line = log.substr(at, end - at);
    at = end + 1;
    if (line.find("File: Add") != std::string::npos ||
        line.find("Folder: Search in") != std::string::npos ||
        line.find(": Skip ") != std::string::npos) {
      continue;
    }
    if (++shown > kErrorLinesInMail) return out + L"…\n";
    out += platform::FromNative(line) + L"\n";
  }
  return out;
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += (text.empty() ? L"" : L"\n") + line;
  return text;
}

std::wstring Title(const LanguageTable& texts, const std::wstring& job, const RunReport& report) {
  switch (report.outcome) {
    case RunOutcome::kCompleted: return PrintFEx(texts.GetText(L"notice_completed"), {job});
    case RunOutcome::kCompletedWithErrors:
      return PrintFEx(texts.GetText(L"notice_completed_errors"),
                      {job, std::to_wstring(report.errorCount)});
    default: return PrintFEx(texts.GetText(L"notice_failed"), {job});
  }
}

}  // namespace

bool IsPingUrl(std::string_view url) {
  const size_t scheme = url.find("://");
  const std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
  const std::string_view host = rest.substr(0, rest.find('/'));
  const std::string_view path = rest.substr(host.size());
  return host == "hc-ping.com" || path.starts_with("/ping/") ||
         path.find("/ping/") != std::string_view::npos;
}

RunNotices::RunNotices(const BackupJob& job, std::wstring jobName, const ProfileStore& profile,
                       const LanguageTable& texts)
    : job_(job), jobName_(std::move(jobName)), profile_(profile), texts_(texts) {}

void RunNotices::Started(std::vector<NoticeResult>* results) {
  const std::string url = platform::ToUtf8(job_.NotifyWebhook);
  if (!url.empty() && IsPingUrl(url)) Webhook(url + "/start", "", results);
}

void RunNotices::Ended(RunSummary* summary, bool inWindow) {
  const RunReport& report = summary->report;
  const std::wstring title = L"Kelvane: " + Title(texts_, jobName_, report);
  const std::wstring lines = Joined(OutcomeLines(report, texts_));
  if (!inWindow && DesktopWantsToHear(job_.NotifyDesktop, report.outcome)) {
    Desktop(title, lines, report.logPath, &summary->notices);
  }
  const bool wanted = MailAndWebhookWantToHear(job_.NotifyOn, report.outcome);
  const std::string url = platform::ToUtf8(job_.NotifyWebhook);
  // A ping URL hears every end: its silence would mean the job stopped.
  if (!url.empty() && (wanted || IsPingUrl(url))) {
    const bool clean = report.outcome == RunOutcome::kCompleted;
    Webhook(IsPingUrl(url) && !clean ? url + "/fail" : url, SummaryText(*summary),
            &summary->notices);
  }
  if (job_.NotifyMail.empty() || !wanted) return;
  std::wstring body = lines + L"\n\n" + texts_.GetText(L"notice_job") + L" " + summary->jobPath +
                      L"\n" + summary->start + L" – " + summary->end + L"\n";
  bool whole = false;
  const std::string log = ReadStart(report.logPath, kAttachedLogBytes, &whole);
  if (!log.empty()) {
    body += L"\n" + PrintFEx(texts_.GetText(L"notice_log_errors"), {report.logPath}) + L"\n" +
            LogErrors(log);
  }
  Mail(title, body, whole ? report.logPath : L"", &summary->notices);
}

std::vector<NoticeResult> RunNotices::Test(const std::wstring& jobPath) {
  std::vector<NoticeResult> results;
  const std::wstring title = L"Kelvane: " + PrintFEx(texts_.GetText(L"notice_test"), {jobName_});
  const std::wstring body = PrintFEx(texts_.GetText(L"notice_test_body"), {jobPath});
  if (job_.NotifyDesktop > 0) Desktop(title, body, L"", &results);
  if (!job_.NotifyWebhook.empty()) {
    Webhook(platform::ToUtf8(job_.NotifyWebhook),
            "{\"outcome\" : \"test\", \"job\" : \"" + platform::ToUtf8(jobName_) + "\"}\n",
            &results);
  }
  if (!job_.NotifyMail.empty()) Mail(title, body, L"", &results);
  return results;
}

void RunNotices::Desktop(const std::wstring& title, const std::wstring& body,
                         const std::wstring& log, std::vector<NoticeResult>* results) {
  bool noDesktop = false;
  const std::wstring error = ShowDesktopNotice(title, body, log, &noDesktop);
  if (!noDesktop) results->push_back({L"desktop", error});
}

void RunNotices::Webhook(const std::string& url, const std::string& json,
                         std::vector<NoticeResult>* results) {
  results->push_back({L"webhook " + platform::FromNative(url), PostJson(url, json)});
}

void RunNotices::Mail(const std::wstring& subject, const std::wstring& body,
                      const std::wstring& log, std::vector<NoticeResult>* results) {
  std::vector<std::string> to;
  std::wstring channel = L"mail to ";
  for (const std::wstring& address : job_.NotifyMail) {
    to.push_back(platform::ToUtf8(address));
    channel += (to.size() > 1 ? L", " : L"") + address;
  }
  const MailServer server = ReadMailServer(profile_);
  std::wstring problem = MailServerProblem(server);
  for (const std::string& address : to) {
    if (problem.empty() && !IsMailAddress(address)) {
      problem = platform::FromNative(address) + L" is not a mail address";
    }
  }
  if (!problem.empty()) {
    results->push_back({channel, problem});
    return;
  }
  MailContent content{subject, body, "", ""};
  if (!log.empty()) {
    bool whole = false;
    content.attachment = ReadStart(log, kAttachedLogBytes, &whole);
    const std::string path = platform::ToNative(log);
    content.attachmentName = path.substr(path.rfind('/') + 1);
  }
  const std::string message = ComposeMail(server.from, to, content, platform::Time().WallSeconds());
  results->push_back({channel, SendMail(server, to, message)});
}

}  // namespace kelvane
