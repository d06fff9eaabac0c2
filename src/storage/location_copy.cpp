#include "storage/location_copy.h"

#include <algorithm>
#include <set>

#include "job/backup_job.h"
#include "language/language_table.h"
#include "log/run_log.h"
#include "manifest/manifest_line.h"
#include "platform/text_codec.h"
#include "restore/restore_points.h"
#include "retention/prune.h"
#include "run/backup_class.h"
#include "run/output_names.h"
#include "run/run_host.h"
#include "storage/location_view.h"
#include "storage/storage_location.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

class LocationCopy {
 public:
  LocationCopy(const FinishedRun& run, const std::wstring& sevenZipLibrary)
      : run_(run), keys_{run.job.ArchivePassword, sevenZipLibrary} {}

  void Run();

 private:
  bool FindTheRunsPoint();
  std::vector<std::wstring> ToSend(const std::vector<LocationFile>& there) const;
  LocationOutcome CopyTo(const std::wstring& where);
  bool Send(StorageLocation& location, const std::wstring& name, LocationOutcome& outcome);
  void KeepPolicyAt(StorageLocation& location, LocationOutcome& outcome);
  bool KeepGoing() {
    run_.pump();
    return !vxstl::runCancelled;
  }

  const FinishedRun& run_;
  const ReaderKeys keys_;
  std::vector<platform::DirectoryEntry> listing_;
  std::vector<RestorePoint> points_;  // here, newest first
};

bool LocationCopy::FindTheRunsPoint() {
  if (!platform::Fs().ReadDirectory(run_.archiveFolder, &listing_).ok()) return false;
  points_ = FindRestorePoints(
      run_.archiveFolder, listing_,
      [this](const std::wstring& name) { return run_.outputs.IsTarget(name); }, keys_);
  return std::any_of(points_.begin(), points_.end(), [this](const RestorePoint& point) {
    return point.hasManifest && point.header.id == run_.manifestId;
  });
}

// What `there` lacks, oldest first: every point made here since the newest
// one it holds (so a copy a kill or an outage missed follows with the next
// run), and every archive their chains need; then the run's own, always (an
// undated name holds a new backup each run).
std::vector<std::wstring> LocationCopy::ToSend(const std::vector<LocationFile>& there) const {
  auto isThere = [&there](const std::wstring& name) {
    return std::any_of(there.begin(), there.end(),
                       [&name](const LocationFile& f) { return f.name == name; });
  };
  int64_t newestThere = INT64_MIN;
  for (const RestorePoint& point : points_) {
    if (isThere(point.target.name)) newestThere = std::max(newestThere, point.unixTime);
  }
  std::vector<std::wstring> names;
  std::wstring runs;
  auto add = [&names, &runs](const std::wstring& name) {
    if (name != runs && std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(name);
    }
  };
  for (auto point = points_.rbegin(); point != points_.rend(); ++point) {
    if (!point->hasManifest) continue;
    const bool isRuns = point->header.id == run_.manifestId;
    if (isRuns) runs = point->target.name;
    if (!isRuns && (point->unixTime <= newestThere || isThere(point->target.name))) continue;
    for (const std::string& need : point->needs) {
      const std::wstring name = platform::FromNative(need);
      if (name != point->target.name && !isThere(name)) add(name);
    }
    if (!isRuns) add(point->target.name);
  }
  names.push_back(runs);
  return names;
}

void LocationCopy::Run() {
  const std::vector<std::wstring>& locations = run_.job.StorageLocations;
  if (locations.empty()) return;
  std::wstring refusal;
  if (run_.job.Type == kJobTypeFolder) {
    refusal = L"only ZIP and 7z backups are copied to storage locations";
  } else if (run_.report.verification == Verification::kFailed) {
    refusal = L"the backup failed its check";
  } else if (!FindTheRunsPoint()) {
    refusal = L"the backup has no manifest";
  }
  for (const std::wstring& where : locations) {
    LocationOutcome outcome{where, L"failed", refusal};
    if (refusal.empty()) {
      outcome =
          vxstl::runCancelled ? LocationOutcome{where, L"cancelled", L"cancelled"} : CopyTo(where);
    }
    if (outcome.result == L"copied") {
      run_.log.WriteLogLine(L"Storage location " + where + L": copied.");
    } else {
      run_.log.WriteLogLine(L"Storage location " + where + L": " + outcome.result + L": " +
                            outcome.error);
      // A copy the user stopped is still a copy the job did not get.
      ++run_.errors;
    }
    run_.report.locations.push_back(outcome);
  }
}

LocationOutcome LocationCopy::CopyTo(const std::wstring& where) {
  LocationOutcome outcome{where, L"failed", {}};
  std::unique_ptr<StorageLocation> location =
      MakeStorageLocation(where, [this] { return KeepGoing(); });
  if (!location) {
    outcome.error = L"neither an absolute folder nor an rclone remote REMOTE:PATH";
    return outcome;
  }
  std::vector<LocationFile> there;
  platform::Status status = location->Open();
  if (status.ok()) status = location->List(&there);
  if (!status.ok()) {
    outcome.error = LocationFailureText(where, status);
    for (const std::wstring& line : location->LastSaid()) run_.log.WriteLogLine(L"  " + line);
    return outcome;
  }
  for (const std::wstring& name : ToSend(there)) {
    if (Send(*location, name, outcome)) continue;
    for (const std::wstring& line : location->LastSaid()) run_.log.WriteLogLine(L"  " + line);
    return outcome;
  }
  KeepPolicyAt(*location, outcome);
  outcome.result = L"copied";
  return outcome;
}

// The archive, then its manifest: a manifest at a location always stands
// beside its whole archive.
bool LocationCopy::Send(StorageLocation& location, const std::wstring& name,
                        LocationOutcome& outcome) {
  for (const std::wstring& file : {name, name + kManifestSuffix}) {
    const auto entry =
        std::find_if(listing_.begin(), listing_.end(),
                     [&file](const platform::DirectoryEntry& e) { return e.name == file; });
    if (entry == listing_.end()) {
      if (file != name) continue;  // an archive made before manifests
      outcome.error = run_.archiveFolder.path() + file + L": not there to copy";
      return false;
    }
    run_.host.SetProgressMarquee(true);
    run_.host.SetStatusLines(
        file, PrintFEx(run_.texts.GetText(L"ui_copying_to"), {location.where()}), L"");
    const platform::Status sent = location.Put(run_.archiveFolder, *entry, run_.job.TestFiles);
    if (sent.code() == ECANCELED || vxstl::runCancelled) {
      outcome.result = L"cancelled";
      outcome.error = L"cancelled while copying " + file;
      return false;
    }
    if (!sent.ok()) {
      outcome.error = LocationFailureText(location.where(), sent);
      return false;
    }
    run_.log.WriteLogLine(L"Copied " + file + L" to " + location.where() + L".");
  }
  return true;
}

void LocationCopy::KeepPolicyAt(StorageLocation& location, LocationOutcome& outcome) {
  PruneRequest request =
      KeepPolicyRequest(run_.job, run_.archiveFolder, run_.outputs, keys_.sevenZipLibrary);
  if (request.policy.KeepsEverything()) return;
  // As here: a backup with errors may lack files the older ones hold.
  if (!run_.whole) {
    run_.log.WriteLogLine(L"Retention at " + location.where() +
                          L": nothing deleted after a run with errors or a failed check.");
    return;
  }
  LocationView view;
  const platform::Status viewed =
      view.Open(location, run_.archiveFolder, OutputNames::WorkStem(run_.outputs.CatalogName()),
                [this](const std::wstring& name) { return run_.outputs.IsTarget(name); });
  if (!viewed.ok()) {
    run_.log.WriteLogLine(L"Retention at " + location.where() + L": nothing deleted: " +
                          LocationFailureText(location.where(), viewed));
    ++run_.errors;
    return;
  }
  request.archiveFolder = &view.folder();
  request.newestId = run_.manifestId;
  request.stop = &vxstl::runCancelled;
  request.pump = run_.pump;
  if (!view.inPlace()) {
    request.placeName = location.where();
    request.removeThere = [&location](const std::wstring& name) { return location.Remove(name); };
  }
  const PruneReport pruned = Prune(request, run_.log);
  outcome.deleted = static_cast<uint32_t>(pruned.deleted.size());
  run_.errors += pruned.failures;
}

}  // namespace

void CopyToLocations(const FinishedRun& run, const std::wstring& sevenZipLibrary) {
  LocationCopy(run, sevenZipLibrary).Run();
}

AfterRunStep CopyAndKeepStep(const std::wstring& sevenZipLibrary) {
  return [sevenZipLibrary](const FinishedRun& run) {
    CopyToLocations(run, sevenZipLibrary);
    if (!vxstl::runCancelled) PruneAfterRun(run, sevenZipLibrary);
  };
}

}  // namespace kelvane
