#include "run/run_summary.h"

#include "json/json_document.h"
#include "platform/local_clock.h"

namespace kelvane {
namespace {

const wchar_t* OutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted: return L"completed";
    case RunOutcome::kCompletedWithErrors: return L"completed_with_errors";
    case RunOutcome::kAborted: return L"aborted";
    case RunOutcome::kJobUnreadable: return L"job_unreadable";
  }
  return L"aborted";
}

const wchar_t* VerificationName(Verification verification) {
  switch (verification) {
    case Verification::kPassed: return L"passed";
    case Verification::kFailed: return L"failed";
    case Verification::kNone: break;
  }
  return L"none";
}

void Fill(const RunSummary& summary, JsonDocument& doc) {
  const RunReport& report = summary.report;
  JsonNode* root = doc.AddObject(nullptr);
  doc.AddString(root, "outcome", OutcomeName(report.outcome));
  doc.AddNumber(root, "exitStatus", static_cast<uint32_t>(summary.exitStatus));
  doc.AddString(root, "job", summary.jobPath);
  doc.AddString(root, "target", report.archivePath);
  doc.AddString(root, "log", report.logPath);
  doc.AddNumber(root, "filesSelected", report.totalFiles);
  doc.AddNumber(root, "filesSaved", report.savedFiles);
  doc.AddBool(root, "nothingChanged", report.nothingChanged());
  doc.AddNumber(root, "filesFailed",
                report.totalFiles > report.savedFiles && report.outcome != RunOutcome::kAborted
                    ? report.totalFiles - report.savedFiles
                    : 0u);
  doc.AddNumber(root, "errors", report.errorCount);
  doc.AddNumber(root, "bytes", static_cast<double>(report.totalBytes));
  doc.AddString(root, "start", summary.start);
  doc.AddString(root, "end", summary.end);
  doc.AddNumber(root, "durationSeconds", summary.durationSeconds);
  doc.AddString(root, "verification", VerificationName(report.verification));
  doc.AddNumber(root, "filesVerified", report.verifiedFiles);
  if (JsonNode* deleted = doc.AddArray(root, "deleted")) {
    for (const std::wstring& name : report.deleted) doc.AddString(deleted, {}, name);
  }
  if (JsonNode* locations = doc.AddArray(root, "locations")) {
    for (const LocationOutcome& outcome : report.locations) {
      JsonNode* location = doc.AddObject(locations);
      doc.AddString(location, "location", outcome.location);
      doc.AddString(location, "result", outcome.result);
      doc.AddString(location, "error", outcome.error);
      doc.AddNumber(location, "deleted", outcome.deleted);
    }
  }
  if (JsonNode* notices = doc.AddArray(root, "notices")) {
    for (const NoticeResult& result : summary.notices) {
      JsonNode* notice = doc.AddObject(notices);
      doc.AddString(notice, "channel", result.channel);
      doc.AddString(notice, "result", result.error.empty() ? L"sent" : L"failed");
      doc.AddString(notice, "error", result.error);
    }
  }
}

}  // namespace

std::wstring IsoLocalTime() {
  // strftime gives the offset as +0100; ISO 8601 readers want +01:00.
  std::wstring text = platform::FormatLocalTime("%Y-%m-%dT%H:%M:%S%z");
  if (text.size() >= 5) text.insert(text.size() - 2, L":");
  return text;
}

std::string SummaryText(const RunSummary& summary) {
  JsonDocument doc;
  Fill(summary, doc);
  return doc.Print() + "\n";
}

platform::Status WriteRunSummary(const std::wstring& path, const RunSummary& summary) {
  JsonDocument doc;
  Fill(summary, doc);
  return doc.SaveFile(path);
}

}  // namespace kelvane
