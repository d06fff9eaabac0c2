// Opening the files of a scan result ahead of the thread that packs them.
//
// Over many small files, opening each (by identity, SourceOpener), asking its
// status twice, reading it and its extended attributes cost more than
// packing it. A thread of its own does that work here, in the scan's order,
// a bounded way ahead: a file of up to kSmallFileSize bytes that reads clean
// (its status the same before and after, as many bytes as it says) comes as
// a memory stream with that status and its attributes; any other file as the
// open file, at its start, for the reader to read as it would have. Only
// what is certain is done ahead: a file that changed while read ahead, or
// failed to read, is handed over unread, so the reader's own rules decide.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "scan/scan_context.h"

namespace kelvane {

class SourceReadAhead {
 public:
  static constexpr uint64_t kSmallFileSize = 65536;
  static constexpr size_t kFilesAhead = 256;
  static constexpr size_t kBytesAhead = 8u << 20;  // of files read ahead
  // Files handed over open: a run must not come near the limit of open files.
  static constexpr size_t kOpenAhead = 32;

  // Starts on every file of `results`, which must outlive this.
  explicit SourceReadAhead(const std::vector<ScannedFolder>& results);
  // Stops reading ahead; what was opened is closed.
  ~SourceReadAhead();
  SourceReadAhead(const SourceReadAhead&) = delete;
  SourceReadAhead& operator=(const SourceReadAhead&) = delete;

  // The next file of the results, in their order (folder by folder, each
  // folder's files in order): 0 and its stream, or the error SourceOpener
  // gave. Call it once for each file; an exception of the reading thread
  // comes out here.
  int Next(std::unique_ptr<platform::FileStream>* stream);

 private:
  // One file, opened; read whole when `read`. Kept in a ring that is
  // allocated once: memory allocated on one thread and freed on the other
  // for every file made both wait on the allocator's lock.
  struct Opened {
    int error = 0;
    std::unique_ptr<platform::FileStream> stream;  // while not read
    bool open = false;                             // the stream holds an open file
    bool read = false;
    std::string bytes;
    platform::FileStatus status;
    platform::ExtendedAttributes attributes;
  };
  void ReadAll();
  // Reads a small file that reads clean into `*opened`; leaves any other as
  // it is, rewound. 0, or the error of the rewinding.
  static int TakeSmall(Opened* opened);
  // The thread that waits is woken when the queue is half full (or half
  // empty) again, not for every file: waking costs more than a small file.
  bool Full() const;
  bool HalfFull() const;

  const std::vector<ScannedFolder>& results_;
  std::mutex lock_;
  std::condition_variable roomMade_;   // waited on with lock_ by the reading thread
  std::condition_variable fileReady_;  // waited on with lock_ by Next
  std::vector<Opened> ring_;           // kFilesAhead places
  size_t first_ = 0;                   // guarded by lock_, as are all below
  size_t count_ = 0;
  size_t bytesReady_ = 0;
  size_t openReady_ = 0;
  bool readerWaits_ = false;
  bool nextWaits_ = false;
  bool finished_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread reader_;  // last: started once the rest stands
};

}  // namespace kelvane
