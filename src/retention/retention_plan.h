// Which restore points a keep policy keeps and why, and which it deletes:
// the decision alone, over what the archive folder holds (prune.h acts on
// it).
//
// A point is kept when a rule keeps it, when it is the newest, when its
// manifest cannot be read (nobody can tell what it holds or needs), or when
// a kept point needs a file from it: a chain is kept whole back to its full
// backup. Periods are the local calendar's days, ISO weeks and months, and
// they are counted back from the newest point, never from today: after a
// holiday, or a string of failed nights, the old points are still there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "retention/keep_policy.h"

namespace kelvane {

struct PointToPlan {
  std::wstring name;  // the target's name in its archive folder
  int64_t unixTime = 0;
  // False when its manifest exists and cannot be read. A target made before
  // manifests is readable, a full point of its date that needs nothing.
  bool readable = true;
  // The targets its manifest needs a file from, itself included.
  std::vector<std::wstring> needs;
};

struct PointVerdict {
  bool keep = false;
  // Why it is kept, the rules joined by ", " ("newest, last 3, day
  // 2026-12-07") or "needed by NAME"; empty when it goes.
  std::wstring why;
};

// One verdict per point of `points`, in their order. The points may come in
// any order; ties in time are broken by name.
std::vector<PointVerdict> PlanRetention(const std::vector<PointToPlan>& points,
                                        const KeepPolicy& policy);

}  // namespace kelvane
