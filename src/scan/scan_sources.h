// Runs the walk of every include folder of a scan on a small pool of workers
// while the calling (window) thread stays responsive.
#pragma once

#include <cstddef>
#include <functional>

#include "scan/scan_context.h"

namespace kelvane {

// Walks every include folder of `scan`, one task per folder, on
// WorkerCount(...) workers. While it waits, the calling thread calls `pump`
// (the run host's message pump) every 100 ms, so a window keeps repainting. Returns when every
// folder has been walked, or, once `scan.stop` is set, soon after: each worker finishes the
// folder it is in.
void ScanSources(ScanContext& scan, const std::function<void()>& pump);

// Half the hardware threads (2 when the platform cannot tell, at least 1),
// never more than there are include folders.
size_t WorkerCount(unsigned hardwareThreads, size_t includeFolders);

}  // namespace kelvane
