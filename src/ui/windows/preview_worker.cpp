#include "ui/windows/preview_worker.h"

#include "json/json_document.h"

namespace kelvane::ui {

PreviewWorker::PreviewWorker(const LanguageTable& texts, Done done)
    : texts_(texts), done_(std::move(done)), thread_([this] { Work(); }) {}

PreviewWorker::~PreviewWorker() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    quit_ = true;
    pending_.reset();
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

uint64_t PreviewWorker::Request(const BackupJob& job) {
  std::lock_guard<std::mutex> hold(lock_);
  pending_ = job;
  stop_ = true;  // what is under way is no longer wanted
  changed_.notify_all();
  return ++requests_;
}

void PreviewWorker::StopAndWait() {
  std::unique_lock<std::mutex> hold(lock_);
  pending_.reset();
  stop_ = true;
  changed_.wait(hold, [this] { return !busy_; });
}

void PreviewWorker::Work() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    changed_.wait(hold, [this] { return quit_ || pending_; });
    if (quit_) return;
    const BackupJob job = std::move(*pending_);
    pending_.reset();
    const uint64_t request = requests_;
    stop_ = false;
    busy_ = true;
    hold.unlock();
    JsonDocument document;
    WriteJobToDocument(job, document);
    JobPreview preview = PreviewJob(document, texts_, stop_);
    done_(request, std::move(preview));
    hold.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace kelvane::ui
