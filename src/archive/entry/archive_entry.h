// What reading a backup yields, whatever its target type: its entries (name,
// type, sizes, times, mode) and, for each, its bytes streamed into a sink,
// decrypted and unpacked; a link's bytes are its target, as ZIP and 7z store
// them. The check reads into sinks that keep nothing (the reader itself
// compares each entry's CRC and size with the archive's records); a restore
// reads into files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/content_hash.h"

namespace kelvane {

enum class EntryType { kFile, kFolder, kLink };

struct ArchiveEntry {
  std::string name;  // as stored, in the system's bytes; a folder's ends with "/"
  EntryType type = EntryType::kFile;
  uint64_t size = 0;            // unpacked
  uint64_t packedSize = 0;      // as stored; 0 where the format does not tell
  int64_t modifiedSeconds = 0;  // Unix time
  uint32_t mode = 0;            // permission bits and type as stat gives them; 0 unknown
};

// Where one entry's bytes go as they are read.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // The next bytes, in order. An error (an errno value) ends the entry.
  virtual int Write(const uint8_t* data, size_t size) = 0;
  // The entry was read: `why` is empty when it was whole and correct (its
  // CRC and size those of the archive's records), otherwise it says what was
  // wrong.
  virtual void Done(const std::wstring& why) = 0;
};

// How a reader reads all entries: the sink for each (none: the entry is not
// read), and a flag that ends the reading early. `sinkFor` and the sinks are
// called from the reader's threads, one entry per thread at a time.
struct EntryReading {
  std::function<std::unique_ptr<EntrySink>(const ArchiveEntry& entry)> sinkFor;
  const std::atomic<bool>* stop = nullptr;
};

// A sink that keeps only the digest of the bytes and passes it on with the
// verdict: reading into it is a check of the entry.
class VerdictSink final : public EntrySink {
 public:
  using Verdict =
      std::function<void(const std::wstring& why, const platform::ContentDigest& digest)>;
  explicit VerdictSink(Verdict verdict) : verdict_(std::move(verdict)) {}
  int Write(const uint8_t* data, size_t size) override {
    hash_.Add(data, size);
    return 0;
  }
  void Done(const std::wstring& why) override { verdict_(why, hash_.Finish()); }

 private:
  Verdict verdict_;
  platform::Sha256 hash_;
};

}  // namespace kelvane
