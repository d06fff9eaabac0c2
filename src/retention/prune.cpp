#include "retention/prune.h"

#include <algorithm>
#include <set>

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

  PruneReport Run() {
    if (!FindPoints() || points_.empty() || !RunMadeTheNewest()) return report_;
    const std::vector<PointToPlan> planned = ToPlan();
    const std::vector<PointVerdict> verdicts = PlanRetention(planned, request_.policy);
    SayPlan(planned, verdicts);
    if (!request_.dryRun) DeleteDropped(planned, verdicts);
    return report_;
  }

 private:
  void Say(const std::wstring& line) {
    log_.WriteLogLine(line);
    if (request_.say) request_.say(line);
  }
  bool FindPoints();
  bool RunMadeTheNewest();
  std::vector<PointToPlan> ToPlan() const;
  const RestorePoint* PointNamed(const std::wstring& name) const;
  void SayPlan(const std::vector<PointToPlan>& planned, const std::vector<PointVerdict>& verdicts);
  void DeleteDropped(const std::vector<PointToPlan>& planned,
                     const std::vector<PointVerdict>& verdicts);
  bool Delete(const platform::DirectoryEntry& target);
  bool DeleteThere(const std::wstring& name);
  std::wstring Place() const {
    return request_.placeName.empty() ? folder_.path() : request_.placeName;
  }
  bool Failed(const std::wstring& what, const platform::Status& status);
  void ForgetInCatalog();

  const PruneRequest& request_;
  const platform::Folder& folder_;
  RunLog& log_;
  std::vector<platform::DirectoryEntry> listing_;
  std::vector<RestorePoint> points_;  // newest first
  std::vector<std::wstring> ignored_;
  PruneReport report_;
};

bool Pruner::FindPoints() {
  const OutputNames& outputs = *request_.outputs;
  if (const platform::Status read = platform::Fs().ReadDirectory(folder_, &listing_); !read.ok()) {
    report_.refused = true;
    return Failed(L"Retention: nothing deleted: " + folder_.path() + L" cannot be read", read);
  }
  // A link, a file where a folder copy belongs, or what another user made
  // is nothing this job made: it neither counts nor goes.
  std::set<std::wstring> backups;
  for (const platform::DirectoryEntry& entry : listing_) {
    if (!outputs.IsTarget(entry.name)) continue;
    const bool plain =
        outputs.isFolderTarget() ? platform::IsPlainFolder(entry) : platform::IsPlainFile(entry);
    if (plain && platform::OnlyTrustedCanWrite(entry)) {
      backups.insert(entry.name);
    } else {
      ignored_.push_back(entry.name);
    }
  }
  points_ = FindRestorePoints(
      folder_, listing_, [&backups](const std::wstring& name) { return backups.count(name) != 0; },
      request_.keys);
  // Without a manifest to say when its run began, the name says it better
  // than the time the file was last written.
  for (RestorePoint& point : points_) {
    const auto dated = outputs.DateOf(point.target.name);
    if (!point.hasManifest && dated) point.unixTime = platform::UnixTimeOfLocal(*dated);
  }
  std::stable_sort(
      points_.begin(), points_.end(),
      [](const RestorePoint& a, const RestorePoint& b) { return a.unixTime > b.unixTime; });
  return true;
}

// The run that just ended must have made the newest point, or what the plan
// would keep is not what the user believes.
bool Pruner::RunMadeTheNewest() {
  if (request_.newestId.empty()) return true;
  const auto newest = std::find_if(points_.begin(), points_.end(),
                                   [](const RestorePoint& point) { return point.hasManifest; });
  if (newest != points_.end() && newest->header.id == request_.newestId) return true;
  report_.refused = true;
  Say(L"Retention: nothing deleted: the newest backup in " + Place() + L" is " +
      (newest != points_.end() ? newest->target.name : L"none") + L", not this run's.");
  return false;
}

std::vector<PointToPlan> Pruner::ToPlan() const {
  std::vector<PointToPlan> planned;
  if (!request_.comingPoint.empty()) {
    PointToPlan& coming = planned.emplace_back();
    coming.name = request_.comingPoint;
    coming.unixTime = std::max(platform::Time().WallSeconds(), points_.front().unixTime + 1);
    // What the newest point needs, an incremental one may need too.
    if (!request_.comingIsFull) {
      for (const std::string& need : points_.front().needs) {
        coming.needs.push_back(platform::FromNative(need));
      }
    }
    coming.needs.push_back(coming.name);
  }
  for (const RestorePoint& point : points_) {
    if (point.target.name == request_.comingPoint) continue;  // the run replaces it
    PointToPlan& entry = planned.emplace_back();
    entry.name = point.target.name;
    entry.unixTime = point.unixTime;
    entry.readable = point.hasManifest || point.madeBeforeManifests;
    for (const std::string& need : point.needs) entry.needs.push_back(platform::FromNative(need));
  }
  return planned;
}

const RestorePoint* Pruner::PointNamed(const std::wstring& name) const {
  const auto found = std::find_if(points_.begin(), points_.end(),
                                  [&name](const RestorePoint& p) { return p.target.name == name; });
  return found != points_.end() ? &*found : nullptr;
}

void Pruner::SayPlan(const std::vector<PointToPlan>& planned,
                     const std::vector<PointVerdict>& verdicts) {
  const size_t kept = static_cast<size_t>(std::count_if(
      verdicts.begin(), verdicts.end(), [](const PointVerdict& v) { return v.keep; }));
  Say(FormatText(L"Retention in %s: %lu backups, %lu kept, %lu to delete.", Place(), planned.size(),
                 kept, planned.size() - kept));
  for (const std::wstring& name : ignored_) {
    Say(L"  ignore " + name + L" (a link, or not made by root or this user)");
  }
  for (size_t i = 0; i < planned.size(); ++i) {
    const std::wstring& name = planned[i].name;
    if (!planned[i].readable) {
      Say(L"  " + name + L": the manifest cannot be read: " + PointNamed(name)->fault);
    }
    Say(verdicts[i].keep ? L"  keep   " + name + L" (" + verdicts[i].why + L")"
                         : L"  delete " + name);
  }
}

// Oldest first, looking at the user between two.
void Pruner::DeleteDropped(const std::vector<PointToPlan>& planned,
                           const std::vector<PointVerdict>& verdicts) {
  for (size_t i = planned.size(); i-- > 0;) {
    if (verdicts[i].keep) continue;
    if (request_.pump) request_.pump();
    if (request_.stop && request_.stop->load()) {
      Say(L"Retention: cancelled; the backups not yet deleted stay.");
      break;
    }
    const bool deleted = request_.removeThere ? DeleteThere(planned[i].name)
                                              : Delete(PointNamed(planned[i].name)->target);
    if (deleted) report_.deleted.push_back(planned[i].name);
  }
  if (!report_.deleted.empty() && !request_.removeThere) ForgetInCatalog();
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

// The target, then its manifest, as Delete does.
bool Pruner::DeleteThere(const std::wstring& name) {
  if (const platform::Status removed = request_.removeThere(name); !removed.ok()) {
    return Failed(L"Delete " + name + L" at " + Place() + L" failed: " + removed.context(),
                  removed);
  }
  const std::wstring manifest = name + kManifestSuffix;
  if (std::any_of(listing_.begin(), listing_.end(),
                  [&](const platform::DirectoryEntry& e) { return e.name == manifest; })) {
    if (const platform::Status removed = request_.removeThere(manifest); !removed.ok()) {
      Failed(L"Delete " + manifest + L" at " + Place() + L" failed: " + removed.context(), removed);
    }
  }
  Say(L"Deleted " + name + L" at " + Place() + L".");
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

PruneRequest KeepPolicyRequest(const BackupJob& job, const platform::Folder& archiveFolder,
                               const OutputNames& outputs, const std::wstring& sevenZipLibrary) {
  PruneRequest request;
  request.archiveFolder = &archiveFolder;
  request.outputs = &outputs;
  request.policy = KeepPolicyOf(job);
  request.keys = {job.ArchivePassword, sevenZipLibrary};
  return request;
}

PruneReport Prune(const PruneRequest& request, RunLog& log) { return Pruner(request, log).Run(); }

void PruneAfterRun(const FinishedRun& run, const std::wstring& sevenZipLibrary) {
  const KeepPolicy policy = KeepPolicyOf(run.job);
  if (policy.KeepsEverything()) return;
  if (!run.whole) {
    run.log.WriteLogLine(L"Retention: nothing deleted after a run with errors or a failed check.");
    return;
  }
  PruneRequest request =
      KeepPolicyRequest(run.job, run.archiveFolder, run.outputs, sevenZipLibrary);
  request.newestId = run.manifestId;
  request.stop = &vxstl::runCancelled;
  request.pump = run.pump;
  const PruneReport pruned = Prune(request, run.log);
  run.report.deleted = pruned.deleted;
  run.errors += pruned.failures;
}

}  // namespace kelvane
