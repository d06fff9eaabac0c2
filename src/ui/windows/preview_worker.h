// Previews of a job (job_preview.h) computed on a thread of its own, one at
// a time: a new request stops the one under way and takes its place, so the
// window thread never waits while the user types.
//
// Results reach `done` on the worker's thread, stamped with the number of
// the request they answer; a stopped one arrives too, marked so. Request and
// StopAndWait are for one thread (the window's).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "job/backup_job.h"
#include "run/job_preview.h"

namespace kelvane {
class LanguageTable;
}

namespace kelvane::ui {

class PreviewWorker {
 public:
  using Done = std::function<void(uint64_t request, JobPreview preview)>;

  PreviewWorker(const LanguageTable& texts, Done done);
  // Stops what is under way and waits for the thread.
  ~PreviewWorker();
  PreviewWorker(const PreviewWorker&) = delete;
  PreviewWorker& operator=(const PreviewWorker&) = delete;

  // Asks for a preview of `job`; returns the request's number.
  uint64_t Request(const BackupJob& job);
  // Drops what is asked and stops what is under way; returns once the
  // worker is idle. A run waits for this: a preview must never overlap it.
  void StopAndWait();

 private:
  void Work();

  const LanguageTable& texts_;
  Done done_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::optional<BackupJob> pending_;  // guarded by lock_
  uint64_t requests_ = 0;             // guarded by lock_
  bool busy_ = false;                 // guarded by lock_
  bool quit_ = false;                 // guarded by lock_
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kelvane::ui
