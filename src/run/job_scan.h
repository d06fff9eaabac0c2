// How a job's lists become a scan: the file filters, the excluded folders and
// the include folders, as a run and a dry run both scan them.
#pragma once

#include <functional>

namespace kelvane {

class ScanContext;
struct BackupJob;

// Fills `scan`'s filters, exclusions, include folders and options from
// `job`. `stopRequested` is asked while a long exclusion list is read (a
// million entries take a while); false when it said stop, the scan then half
// filled.
bool FillScanFromJob(const BackupJob& job, ScanContext& scan,
                     const std::function<bool()>& stopRequested);

}  // namespace kelvane
