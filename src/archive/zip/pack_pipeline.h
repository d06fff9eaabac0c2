// Compresses files on every core while their entries are written one after
// another, in the order the files came.
//
// The caller's thread reads each file in pieces of kPieceSize and queues
// them; worker threads deflate the pieces (deflate_piece.h) and take their
// CRC-32; the caller's thread hands finished pieces, in order, to a Sink,
// during later calls of Add and in Finish. At most kBytesInFlight bytes of
// read data, in at most kPiecesInFlight pieces, wait at any time, whatever
// the file sizes (a million tiny files would otherwise all wait, each piece
// with its bookkeeping and its entry's headers).
//
// Whole files of at most kBatchedFileSize go to the workers in batches (up to
// kBatchFiles files or kBatchBytes bytes): waking a worker for each of a
// million small files cost more than compressing them.
//
// A file whose first piece saves less than 2 % is stored instead of deflated
// (a file of one piece: whichever is smaller), so media and archives cost a
// copy. The whole file is decided by its first piece.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "archive/zip/deflate_piece.h"
#include "platform/content_hash.h"
#include "platform/file_system.h"
#include "util/task_pool.h"

namespace kelvane {

class PackPipeline {
 public:
  static constexpr size_t kPieceSize = 1 << 20;
  static constexpr size_t kBytesInFlight = 16u << 20;
  static constexpr size_t kPiecesInFlight = 4096;
  static constexpr size_t kEndProbeSize = 65536;
  static constexpr size_t kBatchedFileSize = 65536;
  static constexpr size_t kBatchFiles = 64;
  static constexpr size_t kBatchBytes = 1 << 20;

  // Receives the entries, on the thread that calls Add and Finish.
  class Sink {
   public:
    virtual ~Sink() = default;
    // The next file's entry starts; its data is stored, not deflated, or
    // deflated at `level`. Returns 0 or an errno value; a failure stops all
    // further output.
    virtual int BeginEntry(bool stored, int level) = 0;
    // The entry's next bytes, for the sink to keep (it may change them).
    virtual int WriteEntry(uint8_t* data, size_t n) = 0;
    // The entry's end: the CRC-32 and the digest (with the size) of the
    // bytes that were read.
    virtual int EndEntry(uint32_t crc, const platform::ContentDigest& digest) = 0;
  };

  // `level` 1 to 9 deflates, 0 stores everything; `workers` threads.
  PackPipeline(int level, size_t workers, Sink& sink);
  ~PackPipeline();
  PackPipeline(const PackPipeline&) = delete;
  PackPipeline& operator=(const PackPipeline&) = delete;

  // Reads the rest of `source`, which should hold `expectedSize` bytes (it
  // may hold more or fewer), and queues it as the next entry. A file that
  // changed while it was read (its size, modification or change time) is
  // read once more from its start while none of it has reached the sink;
  // changed again, or changed once it had, it fails with
  // kErrorChangedWhileRead. Returns 0, or the error: then `*dropped` tells
  // whether the file was left out whole (nothing of it had reached the sink,
  // as for any file that fits in kBytesInFlight) or its entry holds the
  // bytes read. On success `*dropped` is false. `*status` is the file's
  // status as the caller took it before reading; on success it becomes the
  // status of the version read.
  int Add(platform::FileStream& source, uint64_t expectedSize, platform::FileStatus* status,
          bool* dropped);

  // Files added from now on are deflated at `level` (0 stores them).
  void SetLevel(int level);

  // Delivers everything still queued. Returns the sink's first failure.
  int Finish();

  // The sink's first failure, 0 while there was none.
  int failure() const { return failure_; }

 private:
  // One reading of the file; `*again` when it changed while it was read and
  // may be read once more (what was queued of it is dropped).
  int ReadFile(platform::FileStream& source, uint64_t expectedSize, platform::FileStatus* before,
               bool mayReadAgain, bool* dropped, bool* again);
  struct File;
  struct Piece;

  void Queue(std::unique_ptr<Piece> piece);
  // Hands the small files queued since the last batch to one worker.
  void SubmitBatch();
  void Compress(Piece& piece, size_t worker);
  // Hands finished pieces to the sink, in order; `wait` waits for one.
  void Deliver(bool wait, const File* reading);
  void Hand(Piece& piece);

  int level_;  // of the files added next
  Sink& sink_;
  // Per worker, one for each level it met, made on its first piece.
  std::vector<std::array<std::unique_ptr<PieceDeflater>, 10>> deflaters_;
  std::deque<std::unique_ptr<Piece>> queue_;
  size_t bytesQueued_ = 0;
  std::vector<Piece*> batch_;  // queued, not yet handed to the pool
  size_t batchBytes_ = 0;
  std::unique_ptr<uint8_t[]> endProbe_{new uint8_t[kEndProbeSize]};
  uint32_t entryCrc_ = 0;
  platform::Sha256 entryHash_;  // of an entry of more than one piece
  int failure_ = 0;
  TaskPool pool_;  // last: its workers end before the rest goes
};

}  // namespace kelvane
