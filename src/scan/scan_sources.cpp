#include "scan/scan_sources.h"

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "operation/operation_pump.h"
#include "util/task_pool.h"

namespace kelvane {

size_t WorkerCount(unsigned hardwareThreads, size_t includeFolders) {
  size_t workers = hardwareThreads == 0 ? 2 : hardwareThreads / 2;
  // A single-threaded machine still needs one worker to get anything done.
  if (workers == 0) workers = 1;
  return std::min(workers, includeFolders);
}

void ScanSources(ScanContext& scan, const std::function<void()>& pump) {
  TaskPool pool(WorkerCount(std::thread::hardware_concurrency(), scan.includeFolders.size()));
  std::vector<std::future<void>> handles;
  handles.reserve(scan.includeFolders.size());
  for (const std::wstring& folder : scan.includeFolders) {
    handles.push_back(pool.Push([&scan, folder](size_t worker) {
      scan.ScanIncludeFolder(static_cast<int32_t>(worker + 1), folder);
    }));
  }
  // Waiting on the task itself rather than sleeping a fixed tick lets a
  // small scan return the moment its last walk ends.
  for (const auto& handle : handles) WaitPumping(handle, pump);
}

}  // namespace kelvane
