#include "scan/source_read_ahead.h"

#include <cerrno>
#include <string>
#include <utility>

#include "platform/memory_stream.h"
#include "scan/source_opener.h"

namespace kelvane {

SourceReadAhead::SourceReadAhead(const std::vector<ScannedFolder>& results)
    : results_(results), reader_([this] { ReadAll(); }) {}

SourceReadAhead::~SourceReadAhead() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  roomMade_.notify_all();
  reader_.join();
}

int SourceReadAhead::TakeSmall(std::unique_ptr<platform::FileStream>* stream, size_t* bytes) {
  *bytes = 0;
  platform::FileStream& file = **stream;
  platform::FileStatus before;
  // A size of 0 may be one of the kernel's files, whose size says nothing.
  if (file.Status(&before) != 0 || before.size == 0 || before.size > kSmallFileSize) return 0;
  // One byte more than the status says finds a file that grew.
  std::string data(before.size + 1, '\0');
  size_t filled = 0;
  int error = 0;
  while (error == 0 && filled < data.size()) {
    size_t got = 0;
    error = file.Read(data.data() + filled, data.size() - filled, &got);
    if (got == 0) break;
    filled += got;
  }
  platform::FileStatus after;
  if (error == 0 && filled == before.size && file.Status(&after) == 0 &&
      before.SameVersion(after)) {
    platform::ExtendedAttributes attributes;
    // Attributes that cannot be read are missed, as when read in turn.
    if (file.ReadAttributes(&attributes) != 0) attributes.clear();
    data.resize(filled);
    *stream = platform::MakeMemoryStream(std::move(data), after, std::move(attributes));
    *bytes = filled;
    return 0;
  }
  uint64_t position = 0;
  return file.Seek(0, platform::FileStream::kFromStart, &position);
}

bool SourceReadAhead::Full() const {
  return ready_.size() >= kFilesAhead || bytesReady_ >= kBytesAhead;
}

bool SourceReadAhead::HalfFull() const {
  return ready_.size() >= kFilesAhead / 2 || bytesReady_ >= kBytesAhead / 2;
}

void SourceReadAhead::ReadAll() {
  try {
    SourceOpener opener;
    for (const ScannedFolder& folder : results_) {
      for (const ScannedFile& file : folder.files) {
        Opened opened;
        opened.error = opener.Open(folder, file, &opened.stream);
        if (opened.error == 0 && !file.IsLink()) {
          opened.error = TakeSmall(&opened.stream, &opened.bytes);
          if (opened.error != 0) opened.stream.reset();
        }
        std::unique_lock<std::mutex> hold(lock_);
        if (Full()) {
          readerWaits_ = true;
          roomMade_.wait(hold, [this] { return stop_ || !HalfFull(); });
          readerWaits_ = false;
        }
        if (stop_) return;
        bytesReady_ += opened.bytes;
        ready_.push_back(std::move(opened));
        if (nextWaits_ && HalfFull()) fileReady_.notify_one();
      }
    }
  } catch (...) {
    std::lock_guard<std::mutex> hold(lock_);
    failure_ = std::current_exception();
  }
  std::lock_guard<std::mutex> hold(lock_);
  finished_ = true;
  fileReady_.notify_one();
}

int SourceReadAhead::Next(std::unique_ptr<platform::FileStream>* stream) {
  std::unique_lock<std::mutex> hold(lock_);
  if (ready_.empty() && !finished_) {
    nextWaits_ = true;
    fileReady_.wait(hold, [this] { return HalfFull() || finished_; });
    nextWaits_ = false;
  }
  if (ready_.empty()) {
    if (failure_) std::rethrow_exception(failure_);
    // More asked for than the results hold: a caller's fault, never a file's.
    return EINVAL;
  }
  Opened opened = std::move(ready_.front());
  ready_.pop_front();
  bytesReady_ -= opened.bytes;
  if (readerWaits_ && !HalfFull()) roomMade_.notify_one();
  hold.unlock();
  *stream = std::move(opened.stream);
  return opened.error;
}

}  // namespace kelvane
