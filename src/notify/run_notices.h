// What a run tells the user at its end, where they are, as its job asks: a
// desktop notice (for a run without a window; a window shows the result
// itself), mail, and a POST of the run's summary to a webhook. A webhook of
// the Healthchecks kind (host hc-ping.com, or a "/ping/" in its path) hears
// the start too ("URL/start"), and the end at "URL" or, when the run did not
// complete cleanly, "URL/fail". A notice that cannot be sent is said and kept
// in the summary; it never changes how the run ended.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "job/backup_job.h"
#include "run/run_summary.h"

namespace kelvane {

class LanguageTable;
class ProfileStore;

bool IsPingUrl(std::string_view url);

class RunNotices {
 public:
  RunNotices(const BackupJob& job, std::wstring jobName, const ProfileStore& profile,
             const LanguageTable& texts);

  // Before the run.
  void Started(std::vector<NoticeResult>* results);
  // After it, into `summary->notices`.
  void Ended(RunSummary* summary, bool inWindow);
  // One test notice on every channel the job names, whatever it asks for.
  std::vector<NoticeResult> Test(const std::wstring& jobPath);

 private:
  void Desktop(const std::wstring& title, const std::wstring& body, const std::wstring& log,
               std::vector<NoticeResult>* results);
  void Mail(const std::wstring& subject, const std::wstring& body, const std::wstring& log,
            std::vector<NoticeResult>* results);
  void Webhook(const std::string& url, const std::string& json, std::vector<NoticeResult>* results);

  const BackupJob& job_;
  std::wstring jobName_;
  const ProfileStore& profile_;
  const LanguageTable& texts_;
};

}  // namespace kelvane
