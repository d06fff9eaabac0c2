#include "scan/source_read_ahead.h"

#include <cerrno>
#include <utility>

#include "platform/memory_stream.h"
#include "scan/source_opener.h"

namespace kelvane {

SourceReadAhead::SourceReadAhead(const std::vector<ScannedFolder>& results)
    : results_(results), ring_(kFilesAhead), reader_([this] { ReadAll(); }) {}

SourceReadAhead::~SourceReadAhead() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  roomMade_.notify_all();
  reader_.join();
}

int SourceReadAhead::TakeSmall(Opened* opened) {
  platform::FileStream& file = *opened->stream;
  platform::FileStatus before;
  // A size of 0 may be one of the kernel's files, whose size says nothing.
  if (file.Status(&before) != 0 || before.size == 0 || before.size > kSmallFileSize) return 0;
  // As many bytes as the status says, as the packing reads a file whose
  // size it knows: one that grew meanwhile has another status afterwards.
  std::string& bytes = opened->bytes;
  bytes.resize(before.size);
  size_t filled = 0;
  int error = 0;
  while (error == 0 && filled < bytes.size()) {
    size_t got = 0;
    error = file.Read(bytes.data() + filled, bytes.size() - filled, &got);
    if (got == 0) break;
    filled += got;
  }
  if (error == 0 && filled == before.size && file.Status(&opened->status) == 0 &&
      before.SameVersion(opened->status)) {
    // Attributes that cannot be read are missed, as when read in turn.
    if (file.ReadAttributes(&opened->attributes) != 0) opened->attributes.clear();
    opened->read = true;
    opened->stream.reset();
    return 0;
  }
  bytes.clear();
  uint64_t position = 0;
  return file.Seek(0, platform::FileStream::kFromStart, &position);
}

bool SourceReadAhead::Full() const {
  return count_ == kFilesAhead || bytesReady_ >= kBytesAhead || openReady_ >= kOpenAhead;
}

bool SourceReadAhead::HalfFull() const {
  return count_ >= kFilesAhead / 2 || bytesReady_ >= kBytesAhead / 2 ||
         openReady_ >= kOpenAhead / 2;
}

void SourceReadAhead::ReadAll() {
  try {
    SourceOpener opener;
    for (const ScannedFolder& folder : results_) {
      for (const ScannedFile& file : folder.files) {
        std::unique_lock<std::mutex> hold(lock_);
        if (Full()) {
          readerWaits_ = true;
          roomMade_.wait(hold, [this] { return stop_ || !HalfFull(); });
          readerWaits_ = false;
        }
        if (stop_) return;
        // The place past the last is the reader's alone until counted in.
        Opened& opened = ring_[(first_ + count_) % kFilesAhead];
        hold.unlock();
        opened.read = false;
        opened.bytes.clear();
        opened.error = opener.Open(folder, file, &opened.stream);
        if (opened.error == 0 && !file.IsLink()) {
          opened.error = TakeSmall(&opened);
          if (opened.error != 0) opened.stream.reset();
        }
        // A link's target text is in memory already.
        opened.open = opened.stream != nullptr && !file.IsLink();
        hold.lock();
        ++count_;
        bytesReady_ += opened.bytes.size();
        if (opened.open) ++openReady_;
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
  if (count_ == 0 && !finished_) {
    nextWaits_ = true;
    fileReady_.wait(hold, [this] { return HalfFull() || finished_; });
    nextWaits_ = false;
  }
  if (count_ == 0) {
    if (failure_) std::rethrow_exception(failure_);
    // More asked for than the results hold: a caller's fault, never a file's.
    return EINVAL;
  }
  // The first place is this thread's alone until it is counted out.
  Opened& opened = ring_[first_];
  hold.unlock();
  const int error = opened.error;
  const size_t bytes = opened.bytes.size();
  const bool open = opened.open;
  // Made here, so what this thread frees it allocated itself.
  *stream = opened.read ? platform::MakeMemoryStream(opened.bytes, opened.status,
                                                     std::move(opened.attributes))
                        : std::move(opened.stream);
  opened.attributes.clear();
  hold.lock();
  first_ = (first_ + 1) % kFilesAhead;
  --count_;
  bytesReady_ -= bytes;
  if (open) --openReady_;
  if (readerWaits_ && !HalfFull()) roomMade_.notify_one();
  return error;
}

}  // namespace kelvane
