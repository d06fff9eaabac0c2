#include "retention/prune.h"

#include <algorithm>
#include <map>

#include "job/backup_job.h"
#include "log/run_log.h"
#include "manifest/manifest_line.h"
#include "platform/clock.h"
#include "platform/file_attributes.h"
#include "platform/local_clock.h"
#include "platform/text_codec.h"
#include "restore/restore_points.h"
#include "run/backup_class.h"
#include "run/catalog_file.h"
#include "run/output_names.h"
#include "scan/change_catalog.h"
#include "util/error_text.h"
#include "util/format_text.h"

namespace kelvane {
namespace {

class Pruner {
 public:
  Pruner(const PruneRequest& request, RunLog& log)
      : request_(request), folder_(*request.archiveFolder), log_(log) {}

  PruneReport Run();

 private:
  void Say(const std::wstring& line) {
    log_.WriteLogLine(line);
    if (request_.say) request_.say(line);
  }
  void SayPlan(const std::vector<PointToPlan>& points, const std::vector<std::wstring>& faults,
               const std::vector<PointVerdict>& verdicts);
  bool Delete(const platform::DirectoryEntry& target);
  bool Failed(const std::wstring& what, const platform::Status& status);
  void ForgetInCatalog();

  const PruneRequest& request_;
  const platform::Folder& folder_;
  RunLog& log_;
  std::vector<platform::DirectoryEntry> listing_;
  PruneReport report_;
};

PruneReport Pruner::Run() {
  const OutputNames& outputs = *request_.outputs;
  if (const platform::Status read = platform::Fs().ReadDirectory(folder_, &listing_); !read.ok()) {
    report_.refused = true;
    Failed(L"Retention: nothing deleted: " + folder_.path() + L" cannot be read", read);
    return report_;
  }
  // A link or a file where a folder copy belongs is nothing this job made.
  auto isBackup = [&outputs](const platform::DirectoryEntry& entry) {
    return outputs.IsTarget(entry.name) &&
           (outputs.isFolderTarget() ? platform::IsPlainFolder(entry)
                                     : platform::IsPlainFile(entry));
  };
  std::vector<platform::DirectoryEntry> backups;
  for (const platform::DirectoryEntry& entry : listing_) {
    if (isBackup(entry)) backups.push_back(entry);
  }
  std::vector<RestorePoint> points = FindRestorePoints(
      folder_, listing_,
      [&backups](const std::wstring& name) {
        return std::any_of(backups.begin(), backups.end(),
                           [&name](const platform::DirectoryEntry& e) { return e.name == name; });
      },
      request_.keys);
  if (points.empty()) return report_;
  // Without a manifest to say when its run began, the name says it better
  // than the time the file was last written.
  for (RestorePoint& point : points) {
    if (point.hasManifest) continue;
    if (const auto dated = outputs.DateOf(point.target.name)) {
      point.unixTime = platform::UnixTimeOfLocal(*dated);
    }
  }
  // The run that just ended must have made the newest point, or what the
  // plan would keep is not what the user believes.
  if (!request_.newestId.empty()) {
    const RestorePoint* newest = nullptr;
    for (const RestorePoint& point : points) {
      if (point.hasManifest && (!newest || point.unixTime > newest->unixTime)) newest = &point;
    }
    if (!newest || newest->header.id != request_.newestId) {
      report_.refused = true;
      Say(L"Retention: nothing deleted: the newest backup in " + folder_.path() + L" is " +
          (newest ? newest->target.name : L"none") + L", not this run's.");
      return report_;
    }
  }
  std::vector<PointToPlan> planned;
  std::vector<std::wstring> faults;
  for (const RestorePoint& point : points) {
    if (point.target.name == request_.comingPoint) continue;  // the run replaces it
    PointToPlan& entry = planned.emplace_back();
    entry.name = point.target.name;
    entry.unixTime = point.unixTime;
    entry.readable = point.hasManifest || point.madeBeforeManifests;
    for (const std::string& need : point.needs) entry.needs.push_back(platform::FromNative(need));
    faults.push_back(entry.readable ? L"" : point.fault);
  }
  if (!request_.comingPoint.empty()) {
    PointToPlan coming;
    coming.name = request_.comingPoint;
    coming.unixTime = platform::Time().WallSeconds();
    for (const RestorePoint& point : points) {
      coming.unixTime = std::max(coming.unixTime, point.unixTime + 1);
    }
    if (!request_.comingIsFull) {
      // What the newest point needs, the coming one may need too.
      const auto newest = std::max_element(
          planned.begin(), planned.end(),
          [](const PointToPlan& a, const PointToPlan& b) { return a.unixTime < b.unixTime; });
      if (newest != planned.end()) coming.needs = newest->needs;
    }
    coming.needs.push_back(coming.name);
    planned.insert(planned.begin(), std::move(coming));
    faults.insert(faults.begin(), L"");
  }
  const std::vector<PointVerdict> verdicts = PlanRetention(planned, request_.policy);
  SayPlan(planned, faults, verdicts);
  if (request_.dryRun) return report_;
  const std::map<std::wstring, const platform::DirectoryEntry*> targets = [&points] {
    std::map<std::wstring, const platform::DirectoryEntry*> byName;
    for (const RestorePoint& point : points) byName.emplace(point.target.name, &point.target);
    return byName;
  }();
  for (size_t i = planned.size(); i-- > 0;) {
    if (verdicts[i].keep) continue;
    if (request_.pump) request_.pump();
    if (request_.stop && request_.stop->load()) {
      Say(L"Retention: cancelled; the backups not yet deleted stay.");
      break;
    }
    if (Delete(*targets.at(planned[i].name))) report_.deleted.push_back(planned[i].name);
  }
  if (!report_.deleted.empty()) ForgetInCatalog();
  return report_;
}

void Pruner::SayPlan(const std::vector<PointToPlan>& points,
                     const std::vector<std::wstring>& faults,
                     const std::vector<PointVerdict>& verdicts) {
  const size_t kept = static_cast<size_t>(std::count_if(
      verdicts.begin(), verdicts.end(), [](const PointVerdict& v) { return v.keep; }));
  Say(FormatText(L"Retention in %s: %lu backups, %lu kept, %lu to delete.", folder_.path(),
                 points.size(), kept, points.size() - kept));
  for (size_t i = 0; i < points.size(); ++i) {
    const std::wstring& name = points[i].name;
    if (!faults[i].empty()) Say(L"  " + name + L": the manifest cannot be read: " + faults[i]);
    Say(verdicts[i].keep ? L"  keep   " + name + L" (" + verdicts[i].why + L")"
                         : L"  delete " + name);
  }
}

bool Pruner::Failed(const std::wstring& what, const platform::Status& status) {
  Say(what + L"." + ErrorText(static_cast<uint32_t>(status.code())));
  ++report_.failures;
  return false;
}

// The target and then its manifest: a kill between the two leaves a
// manifest without its target, which is no restore point.
bool Pruner::Delete(const platform::DirectoryEntry& target) {
  platform::FileSystem& fs = platform::Fs();
  const std::wstring path = folder_.path() + target.name;
  if (request_.outputs->isFolderTarget()) {
    // Out of sight in one step, then removed at leisure: a folder copy half
    // removed would still look like a restore point.
    std::wstring away;
    platform::Folder staging;
    platform::Status moved =
        fs.MakeTemporaryFolder(folder_, OutputNames::WorkStem(target.name), &away, &staging);
    if (moved.ok()) moved = fs.Rename(folder_, target.name, folder_, away);
    if (!moved.ok()) return Failed(L"Delete " + path + L" failed", moved);
    if (const platform::Status removed = fs.RemoveTree(folder_, away); !removed.ok()) {
      Failed(L"Remove " + folder_.path() + away + L" failed", removed);
    }
  } else {
    if (const platform::Status removed = fs.RemoveFile(folder_, target.name); !removed.ok()) {
      return Failed(L"Delete " + path + L" failed", removed);
    }
  }
  const std::wstring manifest = target.name + kManifestSuffix;
  const auto beside =
      std::find_if(listing_.begin(), listing_.end(),
                   [&](const platform::DirectoryEntry& e) { return e.name == manifest; });
  if (beside != listing_.end() && platform::IsPlainFile(*beside)) {
    if (const platform::Status removed = fs.RemoveFile(folder_, manifest); !removed.ok()) {
      Failed(L"Delete " + folder_.path() + manifest + L" failed", removed);
    }
  }
  Say(L"Deleted " + path + L".");
  return true;
}

// Reading the catalog drops the entries of targets that are gone (each
// logged); saved, the next run needs no second look.
void Pruner::ForgetInCatalog() {
  const std::wstring name = request_.outputs->CatalogName();
  if (std::none_of(listing_.begin(), listing_.end(),
                   [&name](const platform::DirectoryEntry& e) { return e.name == name; })) {
    return;
  }
  ChangeCatalog catalog;
  if (LoadCatalog(folder_, *request_.outputs, L"", &catalog, log_) == 0) return;
  if (const int error = SaveCatalog(folder_, *request_.outputs, catalog); error != 0) {
    log_.WriteLogFormat(L"Write change catalog %s%s failed.%s", folder_.path(), name,
                        ErrorText(static_cast<uint32_t>(error)));
  }
}

}  // namespace

PruneReport Prune(const PruneRequest& request, RunLog& log) { return Pruner(request, log).Run(); }

void PruneAfterRun(const FinishedRun& run, const std::wstring& sevenZipLibrary) {
  const KeepPolicy policy = KeepPolicyOf(run.job);
  if (policy.KeepsEverything()) return;
  if (!run.whole) {
    run.log.WriteLogLine(L"Retention: nothing deleted after a run with errors or a failed check.");
    return;
  }
  PruneRequest request;
  request.archiveFolder = &run.archiveFolder;
  request.outputs = &run.outputs;
  request.policy = policy;
  request.keys = {run.job.ArchivePassword, sevenZipLibrary};
  request.newestId = run.manifestId;
  request.stop = &vxstl::runCancelled;
  request.pump = run.pump;
  const PruneReport pruned = Prune(request, run.log);
  run.report.deleted = pruned.deleted;
  run.errors += pruned.failures;
}

}  // namespace kelvane
