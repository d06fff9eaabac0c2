// Where -list, -restore and -compare read: the archive folder of the job
// named, or, with an archive (or a folder copy) named instead of a job, the
// folder that holds it, with what it takes to read them: the job's password,
// or one typed on the terminal (hidden) or read with -password-stdin.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "restore/restore_points.h"
#include "restore/target_reader.h"
#include "storage/location_view.h"
#include "storage/storage_location.h"

namespace kelvane {

struct CommandContext;

struct RestoreSource {
  std::wstring given;  // the job's or the archive's path, absolute
  bool fromJob = false;
  std::wstring jobName;  // the job's ArchiveName (for the log's name)
  platform::Folder folder;
  std::vector<platform::DirectoryEntry> listing;
  std::function<bool(const std::wstring&)> isTarget;
  ReaderKeys keys;
  std::vector<std::wstring> locations;  // the job's further storage locations
  std::wstring lastBackup;              // how the job's last run went (a job only)
  // Read from a storage location (-from): what `folder` views, in the order
  // they must go.
  platform::Folder scratch;
  std::unique_ptr<StorageLocation> location;
  std::unique_ptr<LocationView> view;
  // The newest point's plan as PointsToRestore read it, until ReadPointPlan
  // takes it.
  std::optional<PointPlan> newestPlan;
};

// Opens what the command line names; the exit status when it cannot (said).
std::optional<int> OpenRestoreSource(const CommandContext& context, RestoreSource* source);

// Points `source` (opened, with its targets and keys) at the storage
// location `where` instead of its folder; the failure as one line when it
// cannot be read.
std::optional<std::wstring> ReadFromLocation(const std::wstring& where, RestoreSource* source);

// Makes every archive `plan` needs readable in the source's folder: from a
// remote location, downloaded. The exit status when one cannot be (said).
std::optional<int> FetchPlanArchives(RestoreSource& source, const RestorePlan& plan);

// The points of the source, newest first; for an archive, its one point.
std::vector<RestorePoint> SourcePoints(const RestoreSource& source);
// The same for a restore: the newest point's plan stays in the source.
std::vector<RestorePoint> PointsToRestore(RestoreSource& source);

// The point -at names among `points` (the newest without it); none, said,
// when there is no such point.
std::optional<size_t> PointAsked(const CommandContext& context,
                                 const std::vector<RestorePoint>& points);

// The plan of `point`, its manifest read; a manifest that cannot be read is
// said, and the status is the exit status.
std::optional<int> ReadPointPlan(RestoreSource& source, const RestorePoint& point,
                                 RestorePlan* plan);

}  // namespace kelvane
