#include "run/job_scan.h"

#include <string>
#include <string_view>

#include "job/backup_job.h"
#include "platform/list_split.h"
#include "scan/scan_context.h"
#include "util/path_util.h"

namespace kelvane {
namespace {

// In one pass: lists of a million entries are read this way.
std::wstring ReplaceAll(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
  std::wstring out;
  out.reserve(text.size());
  size_t done = 0;
  for (size_t at; (at = text.find(from, done)) != std::wstring_view::npos;
       done = at + from.size()) {
    out.append(text.substr(done, at - done));
    out.append(to);
  }
  out.append(text.substr(done));
  return out;
}

}  // namespace

bool FillScanFromJob(const BackupJob& job, ScanContext& scan,
                     const std::function<bool()>& stopRequested) {
  scan.options = job.OptionsWord();
  if (!job.WhiteList.empty()) {
    ScanContext::SetFileFilter(scan.whiteListSpec, ReplaceAll(job.WhiteList, L"\r\n", L";"));
  }
  if (!job.BlackList.empty()) {
    ScanContext::SetFileFilter(scan.blackListSpec, ReplaceAll(job.BlackList, L"\r\n", L";"));
  }
  // One folder a line; a lone CR or LF belongs to its entry.
  const std::wstring excludes = ReplaceAll(job.ExcludeFolders, L"\r\n", L"\t");
  if (!scan.AddExcludeFolders(platform::SplitList(excludes, L"\t"), stopRequested)) return false;
  for (const std::wstring& folder : job.IncludeFolders) {
    // An empty entry names nothing; any other is made absolute and normal,
    // so no stored name can start at the root or climb out with "..".
    if (folder.empty()) continue;
    std::wstring normal = NormalPath(folder);
    if (normal.empty()) normal = folder;
    AddBackslash(normal);
    scan.includeFolders.push_back(std::move(normal));
  }
  return true;
}

}  // namespace kelvane
