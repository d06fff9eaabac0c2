#include "archive/zip/pack_pipeline.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <new>
#include <optional>
#include <string_view>

#include "archive/zip/crc32.h"
#include "archive/zip/incompressible.h"
#include "platform/system_error.h"

namespace kelvane {

// What the pieces of one file share: the store decision, made by the worker
// that compresses the first piece, and whether the file was left out.
struct PackPipeline::File {
  enum Decision { kOpen, kDeflate, kStore };
  int level = 0;
  std::atomic<int> decision{kOpen};
  bool begun = false;    // the sink has its entry (caller's thread only)
  bool dropped = false;  // left out after a read error (caller's thread only)
};

struct PackPipeline::Piece {
  std::shared_ptr<File> file;
  bool first = false;
  bool last = false;
  std::vector<uint8_t> dictionary;
  std::vector<uint8_t> input;
  std::vector<uint8_t> output;
  uint32_t crc = 0;
  // The whole file's, hashed by the worker when it is this one piece.
  std::optional<platform::ContentDigest> digest;
  bool failed = false;  // zlib refused
  // Valid once the piece is handed to the pool, alone or in a batch.
  std::shared_future<void> done;
};

namespace {

// Fills `buffer` from `source` as far as it goes; a short result means the end.
int ReadFull(platform::FileStream& source, uint8_t* buffer, size_t want, size_t* filled) {
  *filled = 0;
  while (*filled < want) {
    size_t got = 0;
    if (const int error = source.Read(buffer + *filled, want - *filled, &got); error != 0) {
      return error;
    }
    if (got == 0) break;
    *filled += got;
  }
  return 0;
}

int ReadFull(platform::FileStream& source, std::vector<uint8_t>& buffer, size_t want) {
  buffer.resize(want);
  size_t filled = 0;
  const int error = ReadFull(source, buffer.data(), want, &filled);
  buffer.resize(filled);
  return error;
}

}  // namespace

PackPipeline::PackPipeline(int level, size_t workers, Sink& sink)
    : level_(std::clamp(level, 0, 9)),
      sink_(sink),
      deflaters_(std::max<size_t>(workers, 1)),
      pool_(std::max<size_t>(workers, 1)) {}

void PackPipeline::SetLevel(int level) { level_ = std::clamp(level, 0, 9); }

PackPipeline::~PackPipeline() {
  SubmitBatch();
  for (auto& piece : queue_) piece->done.wait();
}

void PackPipeline::Compress(Piece& piece, size_t worker) {
  piece.crc = Crc32(piece.input.data(), piece.input.size());
  if (piece.first && piece.last) {
    piece.digest = platform::DigestOf(
        std::string_view(reinterpret_cast<const char*>(piece.input.data()), piece.input.size()));
  }
  File& file = *piece.file;
  if (file.level <= 0 || file.decision.load() == File::kStore) return;
  if (piece.first && LooksIncompressible(piece.input.data(), piece.input.size())) {
    file.decision.store(File::kStore);
    return;
  }
  // Later pieces do not wait for the first one's decision: compressing one
  // of them in vain costs less than leaving a core idle.
  // Memory running out fails the archive as zlib refusing does: escaping
  // into the pool, it would leave the piece to be written as empty output.
  try {
    std::unique_ptr<PieceDeflater>& deflater = deflaters_[worker][file.level];
    if (!deflater) deflater = std::make_unique<PieceDeflater>(file.level);
    piece.failed = !deflater->Deflate(piece.dictionary, piece.input, piece.last, &piece.output);
  } catch (const std::bad_alloc&) {
    piece.failed = true;
  }
  if (piece.first && !piece.failed) {
    const size_t in = piece.input.size();
    const size_t out = piece.output.size();
    const bool store = piece.last ? out >= in : out * 50 > in * 49;
    file.decision.store(store ? File::kStore : File::kDeflate);
  }
}

void PackPipeline::Queue(std::unique_ptr<Piece> piece) {
  const File* reading = piece->file.get();
  // Room first, so the bytes waiting stay bounded.
  while (!queue_.empty() && (bytesQueued_ + piece->input.size() > kBytesInFlight ||
                             queue_.size() >= kPiecesInFlight)) {
    Deliver(true, reading);
  }
  bytesQueued_ += piece->input.size();
  Piece* raw = piece.get();
  if (piece->first && piece->last && piece->input.size() <= kBatchedFileSize) {
    batch_.push_back(raw);
    batchBytes_ += raw->input.size();
    queue_.push_back(std::move(piece));
    if (batch_.size() >= kBatchFiles || batchBytes_ >= kBatchBytes) SubmitBatch();
  } else {
    SubmitBatch();
    piece->done = pool_.Push([this, raw](size_t worker) { Compress(*raw, worker); }).share();
    queue_.push_back(std::move(piece));
  }
  Deliver(false, reading);
}

void PackPipeline::SubmitBatch() {
  if (batch_.empty()) return;
  std::shared_future<void> done = pool_
                                      .Push([this, pieces = batch_](size_t worker) {
                                        for (Piece* piece : pieces) Compress(*piece, worker);
                                      })
                                      .share();
  for (Piece* piece : batch_) piece->done = done;
  batch_.clear();
  batchBytes_ = 0;
}

void PackPipeline::Deliver(bool wait, const File* reading) {
  while (!queue_.empty()) {
    Piece& head = *queue_.front();
    // The file being read stays out of the sink while memory allows, so a
    // read error can still leave it out whole.
    if (!wait && head.file.get() == reading) return;
    if (!head.done.valid()) {
      if (!wait) return;
      SubmitBatch();
    }
    if (head.done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
      if (!wait) return;
      head.done.wait();
      wait = false;  // one piece makes room
    }
    Hand(head);
    bytesQueued_ -= head.input.size();
    queue_.pop_front();
  }
}

void PackPipeline::Hand(Piece& piece) {
  File& file = *piece.file;
  if (file.dropped || failure_ != 0) return;
  const bool stored = file.level <= 0 || file.decision.load() == File::kStore;
  if (piece.failed && !stored) failure_ = ENOMEM;
  if (piece.first && failure_ == 0) {
    failure_ = sink_.BeginEntry(stored, file.level);
    file.begun = true;
    entryCrc_ = 0;
    entryHash_.Reset();
  }
  // Hashed in order before the sink may encrypt the bytes in place.
  if (!piece.digest) entryHash_.Add(piece.input.data(), piece.input.size());
  std::vector<uint8_t>& bytes = stored ? piece.input : piece.output;
  if (failure_ == 0 && !bytes.empty()) failure_ = sink_.WriteEntry(bytes.data(), bytes.size());
  entryCrc_ = CombineCrc32(entryCrc_, piece.crc, piece.input.size());
  if (piece.last && failure_ == 0) {
    failure_ = sink_.EndEntry(entryCrc_, piece.digest ? *piece.digest : entryHash_.Finish());
  }
}

int PackPipeline::Add(platform::FileStream& source, uint64_t expectedSize,
                      platform::FileStatus* status, bool* dropped) {
  platform::FileStatus& before = *status;
  // A file that changed while it was read is read once more, as it is then,
  // while none of it has gone out; one that changes again fails.
  for (int attempt = 0;; ++attempt) {
    bool again = false;
    const int error = ReadFile(source, expectedSize, &before, attempt == 0, dropped, &again);
    if (!again) return error;
    uint64_t position = 0;
    if (const int seek = source.Seek(0, platform::FileStream::kFromStart, &position); seek != 0) {
      return seek;
    }
    expectedSize = before.size;
  }
}

int PackPipeline::ReadFile(platform::FileStream& source, uint64_t expectedSize,
                           platform::FileStatus* before, bool mayReadAgain, bool* dropped,
                           bool* again) {
  *dropped = false;
  *again = false;
  auto file = std::make_shared<File>();
  file->level = level_;
  // Pieces are sized to what the file is expected to hold, so a small file
  // costs its size, not a megabyte. When the status before the reading says
  // that size too, the end is there (the status after the reading tells whether
  // the file changed meanwhile); otherwise, and for a file of size 0 (which
  // may be one of the kernel's, whose size says nothing), a small piece
  // finds the end, or that the file grew.
  const bool endKnown = expectedSize > 0 && before->size == expectedSize;
  uint64_t read = 0;
  auto want = [&]() -> size_t {
    if (read < expectedSize)
      return static_cast<size_t>(std::min<uint64_t>(kPieceSize, expectedSize - read));
    if (read == expectedSize) return endKnown ? 0 : kEndProbeSize;
    return kPieceSize;
  };
  // One piece read ahead, so the last piece is known to be the last.
  auto current = std::make_unique<Piece>();
  current->file = file;
  current->first = true;
  size_t wanted = want();
  int error = ReadFull(source, current->input, wanted);
  read += current->input.size();
  while (error == 0) {
    auto next = std::make_unique<Piece>();
    next->file = file;
    if (current->input.size() == wanted) {
      wanted = want();
      if (wanted == kEndProbeSize) {
        // Mostly finds the end: into a buffer that is not cleared for each file.
        size_t got = 0;
        error = ReadFull(source, endProbe_.get(), wanted, &got);
        next->input.assign(endProbe_.get(), endProbe_.get() + got);
      } else {
        error = ReadFull(source, next->input, wanted);
      }
      read += next->input.size();
    }
    if (error == 0 && next->input.empty()) break;
    const size_t keep = std::min(kDeflateWindow, current->input.size());
    next->dictionary.assign(current->input.end() - static_cast<ptrdiff_t>(keep),
                            current->input.end());
    Queue(std::move(current));
    current = std::move(next);
  }
  if (error == 0) {
    platform::FileStatus after;
    error = source.Status(&after);
    if (error == 0 && !before->SameVersion(after)) {
      error = platform::kErrorChangedWhileRead;
      if (mayReadAgain && !file->begun) {
        file->dropped = true;
        *before = after;
        *again = true;
        return 0;
      }
    }
  }
  if (error != 0) {
    // Pieces of this file not handed on yet are all still queued; unless the
    // sink has its entry, none of it goes out.
    if (!file->begun) {
      file->dropped = true;
      *dropped = true;
      return error;
    }
    // The entry ends with what was read: consistent, if short.
  }
  current->last = true;
  Queue(std::move(current));
  return error;
}

int PackPipeline::Finish() {
  while (!queue_.empty()) Deliver(true, nullptr);
  return failure_;
}

}  // namespace kelvane
