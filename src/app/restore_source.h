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
};

// Opens what the command line names; the exit status when it cannot (said).
std::optional<int> OpenRestoreSource(const CommandContext& context, RestoreSource* source);

// The points of the source, newest first; for an archive, its one point.
std::vector<RestorePoint> SourcePoints(const RestoreSource& source);

// The point -at names among `points` (the newest without it); none, said,
// when there is no such point.
std::optional<size_t> PointAsked(const CommandContext& context,
                                 const std::vector<RestorePoint>& points);

// The plan of `point`, its manifest read; a manifest that cannot be read is
// said, and the status is the exit status.
std::optional<int> ReadPointPlan(const RestoreSource& source, const RestorePoint& point,
                                 RestorePlan* plan);

}  // namespace kelvane
