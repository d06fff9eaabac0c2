#include "run/backup_class.h"

#include <chrono>

#include "language/language_table.h"
#include "platform/paths.h"
#include "run/output_names.h"
#include "run/run_host.h"
#include "scan/scan_context.h"
#include "util/result_codes.h"

namespace kelvane::vxstl {

std::atomic<bool> runCancelled{false};

BackupClass::BackupClass(RunHost& runHost, const LanguageTable& languageTexts)
    : pump([&runHost] { runHost.PumpMessages(); }), host(runHost), texts(languageTexts) {}

uint32_t BackupClass::PumpingWait(std::future<uint32_t>& task) {
  while (task.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    pump();
    if (progressCallback && !progressCallback(this)) cancelRequested = true;
  }
  return task.get();
}

uint32_t BackupClass::Run(ScanContext* scanContext, int32_t level, const TargetStep& step) {
  scan = scanContext;
  compressionLevel = level;
  errorCount = 0;
  progressCallback = [](BackupClass* run) { return run->UpdateRunProgress(); };

  PrepareTotals();
  if (!CheckDiskSpace()) return kResultDiskTooSmall;
  estimator = TimeEstimate(totalBytes);
  filesTemplate = texts.GetText(L"ui_processed_files");
  sizeTemplate = texts.GetText(L"ui_processed_kb");
  timeTemplate1 = texts.GetText(L"ui_estimatetime1");
  timeTemplate2 = texts.GetText(L"ui_estimatetime2");
  if (step) result = step(*this);
  return result;
}

int BackupClass::CreateWorkFile(std::unique_ptr<platform::FileStream>* stream) {
  return platform::Fs().CreateTemporary(*archiveFolder, OutputNames::WorkStem(targetName),
                                        &workName, stream);
}

size_t StoredPathStart(const std::wstring& folderPath) {
  return !folderPath.empty() && folderPath.front() == platform::kPathSeparator ? 1 : 0;
}

}  // namespace kelvane::vxstl
