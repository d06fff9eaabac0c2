#include "run/backup_class.h"

#include <cerrno>
#include <chrono>
#include <vector>

#include "language/language_table.h"
#include "log/run_log.h"
#include "operation/operation_pump.h"
#include "platform/paths.h"
#include "run/backup_target.h"
#include "run/output_names.h"
#include "run/run_host.h"
#include "scan/scan_context.h"
#include "util/byte_size.h"
#include "util/error_text.h"
#include "util/format_text.h"
#include "util/result_codes.h"
#include "util/template_format.h"

namespace kelvane::vxstl {

std::atomic<bool> runCancelled{false};

BackupClass::BackupClass(RunHost& runHost, const LanguageTable& languageTexts, RunLog& runLog)
    : pump([&runHost] { runHost.PumpMessages(); }),
      host(runHost),
      texts(languageTexts),
      log(runLog) {}

uint32_t BackupClass::PumpingWait(std::future<uint32_t>& task) {
  WaitPumping(task, [this] {
    pump();
    if (progressCallback && !progressCallback(this)) cancelRequested = true;
  });
  return task.get();
}

uint32_t BackupClass::Run(ScanContext* scanContext, int32_t level, BackupTarget& target) {
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
  result = target.Write(*this);
  // The status lines end at what was done: a target quicker than one
  // progress tick would otherwise leave them at the scan's texts.
  UpdateRunProgress();
  return result;
}

void BackupClass::PrepareTotals() {
  totalBytes = freeBytes = 0;
  processedBytes = 0;
  processedFiles = 0;
  totalFiles = 0;
  for (const ScannedFolder& folder : scan->results) {
    for (const ScannedFile& file : folder.files) totalBytes += file.size;
    totalFiles += static_cast<uint32_t>(folder.files.size());
  }
  savedFiles.assign(totalFiles, SavedFile{});
  savedAttributes.clear();
  processedSizeText = FormatByteSize(0);
  totalSizeText = FormatByteSize(totalBytes);
}

uint32_t BackupClass::QueryFreeSpace(const std::wstring& path, uint64_t* bytes,
                                     std::wstring* queried) {
  *bytes = 0;
  const int error = platform::Fs().FreeSpace(path, bytes, queried).code();
  if (error != 0) {
    log.WriteLogFormat(L"GetDiskFreeSpaceExW(%s) failed, Error: %ld", *queried,
                       static_cast<long>(error));
  }
  return static_cast<uint32_t>(error);
}

bool BackupClass::CheckDiskSpace() {
  std::wstring volume = archivePath;
  if (const uint32_t error = QueryFreeSpace(archivePath, &freeBytes, &volume); error != 0) {
    // Not a full disk: say what is wrong (a path too long for the target
    // reads "File name too long"), and make no backup that might not fit.
    host.ShowMessage(PrintFEx(texts.GetText(L"diskspace_unknown"), {volume}) + ErrorText(error),
                     true);
    return false;
  }
  if (freeBytes >= totalBytes) return true;
  processedSizeText = FormatByteSize(totalBytes);
  totalSizeText = FormatByteSize(freeBytes);
  host.ShowMessage(
      PrintFEx(texts.GetText(L"ui_diskspace"), {volume, processedSizeText, totalSizeText}), true);
  return false;
}

bool BackupClass::UpdateRunProgress() {
  const uint64_t bytes = processedBytes;
  const uint32_t files = processedFiles;
  const uint64_t percent = ProgressPercent(bytes, totalBytes);
  estimator.Update(bytes, static_cast<uint32_t>(percent));
  processedSizeText = FormatByteSize(bytes);
  const int64_t filePercent =
      totalFiles == 0 ? -1 : (static_cast<int64_t>(files) * 100 + totalFiles / 2) / totalFiles;

  const std::wstring filesLine = PrintFEx(
      filesTemplate,
      {FormatText(L"%lu", files), FormatText(L"%lu", totalFiles), FormatText(L"%ld", filePercent)});
  const std::wstring sizeLine =
      PrintFEx(sizeTemplate, {processedSizeText, totalSizeText, FormatText(L"%llu", percent)});
  const std::wstring timeLine = estimator.FormatTimes(percent < 5 ? timeTemplate1 : timeTemplate2);
  host.SetStatusLines(filesLine, sizeLine, timeLine);
  host.SetProgressPosition(files);
  return !runCancelled;
}

void BackupClass::FileFailed(const ScannedFile& file) {
  std::lock_guard<std::mutex> hold(failedLock);
  failedFiles.insert(&file);
}

bool BackupClass::HasFailed(const ScannedFile& file) const {
  std::lock_guard<std::mutex> hold(failedLock);
  return failedFiles.count(&file) != 0;
}

void BackupClass::KeepAttributes(size_t number, platform::ExtendedAttributes attributes) {
  std::lock_guard<std::mutex> hold(attributesLock);
  if (attributes.empty()) {
    savedAttributes.erase(number);
  } else {
    savedAttributes[number] = std::move(attributes);
  }
}

platform::ExtendedAttributes BackupClass::SavedAttributes(size_t number) const {
  std::lock_guard<std::mutex> hold(attributesLock);
  const auto found = savedAttributes.find(number);
  return found != savedAttributes.end() ? found->second : platform::ExtendedAttributes();
}

int BackupClass::OpenWorkFile(std::unique_ptr<platform::FileStream>* stream) {
  std::vector<platform::DirectoryEntry> entries;
  if (const int error = platform::Fs().ReadDirectory(*archiveFolder, &entries).code(); error != 0) {
    return error;
  }
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.name == workName && entry.error == 0) {
      return platform::Fs().OpenFile(*archiveFolder, workName, entry.id, stream).code();
    }
  }
  return ENOENT;
}

bool BackupClass::UpdateVerifyProgress() {
  const uint32_t files = verifiedFiles;
  host.SetStatusLines(
      PrintFEx(verifyTemplate, {FormatText(L"%lu", files), FormatText(L"%lu", totalFiles)}), L"",
      L"");
  host.SetProgressPosition(files);
  return !runCancelled;
}

int BackupClass::CreateWorkFile(std::unique_ptr<platform::FileStream>* stream) {
  return platform::Fs()
      .CreateTemporary(*archiveFolder, OutputNames::WorkStem(targetName), &workName, stream)
      .code();
}

int BackupClass::CreateScratchFile(std::unique_ptr<platform::FileStream>* stream) {
  std::wstring name;
  platform::Status made = platform::Fs().CreateTemporary(
      *archiveFolder, OutputNames::WorkStem(targetName), &name, stream);
  if (made.ok()) made = platform::Fs().RemoveFile(*archiveFolder, name);
  if (!made.ok()) stream->reset();
  return made.code();
}

size_t StoredPathStart(const std::wstring& folderPath) {
  return !folderPath.empty() && folderPath.front() == platform::kPathSeparator ? 1 : 0;
}

}  // namespace kelvane::vxstl
