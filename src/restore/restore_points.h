// The restore points in an archive folder: the targets there (a job's dated
// or undated archives and folder copies) and what each one's manifest says,
// newest first; whether each point's chain is complete (every archive its
// manifest needs is present with the same id); and choosing one the way a
// user names it.
//
// A target's manifest is read from beside it ("<target>.kvnman") when only
// root or the running user can have written that file, else from inside the
// target (an archive copied off-site alone).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "manifest/manifest_line.h"
#include "platform/file_system.h"
#include "platform/status.h"
#include "restore/restore_plan.h"
#include "restore/target_reader.h"

namespace kelvane {

struct RestorePoint {
  platform::DirectoryEntry target;  // as the folder's listing gives it
  // Without a manifest (made before manifests, or it cannot be read), a
  // target is listed but cannot be restored as a point: `fault` says why.
  bool hasManifest = false;
  std::wstring fault;
  ManifestHeader header;
  int64_t unixTime = 0;  // when its run began
  uint64_t files = 0;
  uint64_t bytes = 0;
  // Neither beside it nor inside it: a target made before manifests.
  bool madeBeforeManifests = false;
  // The archives its manifest needs a file or link from, by name.
  std::vector<std::string> needs;
  // Archives the point needs and not present with the id its manifest gives.
  std::vector<std::wstring> missing;
};

// The key of the text that says how the point's run checked it, as its
// manifest beside the target says ("console_list_check_passed", ...).
const wchar_t* CheckTextKey(const RestorePoint& point);

// Reads the manifest of the target `target` of `folder` (listed in
// `listing`) into `plan`, its own files held by `target` whatever it is
// called now.
platform::Status ReadTargetPlan(const platform::Folder& folder,
                                const std::vector<platform::DirectoryEntry>& listing,
                                const platform::DirectoryEntry& target, const ReaderKeys& keys,
                                RestorePlan* plan);

// A point's plan, read while the points were found, and whose it is.
struct PointPlan {
  std::wstring target;  // the name of the point's target
  RestorePlan plan;
};

// Every target of `folder` that `isTarget` names, newest first. Each
// manifest is read whole to count the point's files; with `newest`, the plan
// of the newest point whose manifest reads is kept there, so that a restore
// of that point (the default) does not read it a second time.
std::vector<RestorePoint> FindRestorePoints(
    const platform::Folder& folder, const std::vector<platform::DirectoryEntry>& listing,
    const std::function<bool(const std::wstring&)>& isTarget, const ReaderKeys& keys,
    std::optional<PointPlan>* newest = nullptr);

// Archives that `plan` needs and `folder` does not hold with the id the plan
// gives them, each as "NAME (why)".
std::vector<std::wstring> MissingArchives(const platform::Folder& folder,
                                          const std::vector<platform::DirectoryEntry>& listing,
                                          const RestorePlan& plan, const ReaderKeys& keys);

// The point `spec` names: "latest" (or empty), a target's name, or a local
// date and time "YYYY-MM-DDTHH:MM[:SS]" meaning the newest point at or
// before it. Only points with a manifest are chosen; none when no point fits
// or `spec` is none of these.
std::optional<size_t> ChoosePoint(const std::vector<RestorePoint>& points,
                                  const std::wstring& spec);

}  // namespace kelvane
