#include "archive/zip/zip_archive.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "archive/zip/pack_pipeline.h"
#include "archive/zip/pkware_cipher.h"
#include "archive/zip/zip_central_directory.h"
#include "archive/zip/zip_output.h"
#include "archive/zip/zip_records.h"
#include "platform/file_system.h"
#include "platform/local_clock.h"
#include "platform/paths.h"
#include "platform/text_codec.h"

namespace kelvane {

namespace {

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8Names = 0x0800;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
// Entries that may reach 4 GiB (deflate can grow incompressible data a
// little) get the ZIP64 field in their local header; smaller ones are
// written as every reader knows them.
constexpr uint64_t kZip64Threshold = 0xFFFFFFFFull - (64ull << 20);

uint32_t DosDateTime(int64_t unixSeconds) {
  platform::CalendarTime t;
  if (!platform::LocalCalendarTime(unixSeconds, &t) || t.year < 1980) {
    return (1 << 21) | (1 << 16);  // 1980-01-01 00:00, the earliest DOS time
  }
  if (t.year > 2107) t = {2107, 12, 31, 23, 59, 58};
  return (static_cast<uint32_t>(t.year - 1980) << 25) | (static_cast<uint32_t>(t.month) << 21) |
         (static_cast<uint32_t>(t.day) << 16) | (static_cast<uint32_t>(t.hour) << 11) |
         (static_cast<uint32_t>(t.minute) << 5) | (static_cast<uint32_t>(t.second) / 2);
}

bool IsRelativeEntryName(std::wstring_view name) {
  if (name.empty() || name.front() == platform::kPathSeparator) return false;
  for (size_t start = 0; start <= name.size();) {
    size_t end = name.find(platform::kPathSeparator, start);
    if (end == std::wstring_view::npos) end = name.size();
    const std::wstring_view part = name.substr(start, end - start);
    if (part.empty() || part == L"." || part == L"..") return false;
    start = end + 1;
  }
  return true;
}

// An entry whose file is added, waiting for the pipeline to reach it.
struct PendingEntry {
  ZipEntryHeader header;
  platform::ContentDigest* digest = nullptr;  // where the bytes' digest goes, if anywhere
};

}  // namespace

// The archive as the pipeline's sink: writes each entry's local header, its
// data (encrypted when there is a password) and its record in the central
// directory.
struct ZipArchiveHandle : PackPipeline::Sink {
  ZipArchiveHandle(std::unique_ptr<platform::FileStream> archive,
                   std::unique_ptr<platform::FileStream> centralSpool, std::string_view secret,
                   int deflateLevel)
      : output(std::move(archive)),
        directory(std::move(centralSpool)),
        password(secret),
        level(std::clamp(deflateLevel, 0, 9)),
        pipeline(this->level, std::max(1u, std::thread::hardware_concurrency()), *this) {}

  int OutputError(int otherwise) const { return output.error() != 0 ? output.error() : otherwise; }

  int BeginEntry(bool stored, int deflateLevel) override {
    ZipEntryHeader& header = pending.front().header;
    header.method = stored ? kMethodStored : kMethodDeflated;
    // The deflate option bits, as zip sets them: zipinfo shows them.
    if (!stored && deflateLevel >= 8) header.flags |= 0x0002;
    if (!stored && deflateLevel <= 2) header.flags |= 0x0004;
    uint8_t cipherHeader[12];
    if (!password.empty()) {
      // With a data descriptor the CRC may follow the data, so each file is
      // read once; readers then check the password against the DOS time.
      cipher = std::make_unique<PkwareCipher>(password);
      header.flags |= kFlagEncrypted | kFlagDataDescriptor;
      if (const int error =
              cipher->MakeHeader(static_cast<uint16_t>(header.dosDateTime), cipherHeader);
          error != 0) {
        return error;
      }
    } else {
      cipher.reset();
    }
    entryOffset = output.position();
    headerBytes.clear();
    AppendLocalHeader(header, {}, &headerBytes);
    if (!output.Append(headerBytes.data(), headerBytes.size())) return OutputError(EIO);
    emitted = 0;
    return cipher ? Emit(cipherHeader, sizeof cipherHeader) : 0;
  }

  int WriteEntry(uint8_t* data, size_t n) override {
    if (cipher) cipher->Encrypt(data, n);
    return Emit(data, n);
  }

  int EndEntry(uint32_t crc, const platform::ContentDigest& digest) override {
    const PendingEntry entry = std::move(pending.front());
    pending.pop_front();
    const ZipEntrySizes sizes{crc, emitted, digest.size};
    if (!entry.header.zip64 && (sizes.size >= 0xFFFFFFFFull || emitted >= 0xFFFFFFFFull)) {
      // The file grew past 4 GiB while it was read: its local header cannot
      // hold it, and an entry with wrong sizes would spoil the archive.
      return EFBIG;
    }
    // The local header again, now with the CRC and sizes, over itself.
    headerBytes.clear();
    AppendLocalHeader(entry.header, sizes, &headerBytes);
    if (!output.Patch(entryOffset, headerBytes.data(), headerBytes.size())) {
      return OutputError(EIO);
    }
    if (cipher) {
      // The descriptor follows the data as the flag promises.
      headerBytes.clear();
      AppendDataDescriptor(entry.header, sizes, &headerBytes);
      if (!output.Append(headerBytes.data(), headerBytes.size())) return OutputError(EIO);
    }
    if (const int error = directory.Add(entry.header, sizes, entryOffset); error != 0) return error;
    if (entry.digest) *entry.digest = digest;
    return 0;
  }

  int Emit(const uint8_t* bytes, size_t n) {
    emitted += n;
    return output.Append(bytes, n) ? 0 : OutputError(EIO);
  }

  ZipOutput output;
  ZipCentralDirectory directory;
  const std::string password;
  const int level;
  std::deque<PendingEntry> pending;
  std::unique_ptr<PkwareCipher> cipher;  // of the entry being written
  uint64_t entryOffset = 0;              // of the entry being written
  uint64_t emitted = 0;                  // of the entry being written
  std::vector<uint8_t> headerBytes;      // reused for each entry's headers
  bool valid = false;
  PackPipeline pipeline;  // last: its workers stop before the rest goes
};

platform::Status ZipCreateArchive(std::unique_ptr<platform::FileStream> archive,
                                  std::unique_ptr<platform::FileStream> centralSpool,
                                  std::string_view password, int level, ZipArchiveHandle** made) {
  *made = nullptr;
  if (!archive || !centralSpool) {
    return platform::Status::Error(EBADF, L"the archive could not be begun");
  }
  auto handle = std::make_unique<ZipArchiveHandle>(std::move(archive), std::move(centralSpool),
                                                   password, level);
  handle->valid = true;
  *made = handle.release();
  return {};
}

bool ZipArchiveBroken(const ZipArchiveHandle* handle) {
  return !handle || !handle->valid || handle->output.error() != 0 ||
         handle->pipeline.failure() != 0;
}

namespace {

// The entry's modification time, in both of the places it is kept: the
// DOS time and the extended timestamp.
void SetModified(int64_t seconds, PendingEntry* entry) {
  entry->header.dosDateTime = DosDateTime(seconds);
  entry->header.modifiedUtc = static_cast<uint32_t>(std::clamp<int64_t>(seconds, 0, 0xFFFFFFFF));
}

// What every entry's headers say of its name, type, mode and time; EINVAL
// for a name that climbs out of the folder it is extracted into, or starts at
// the root, which is never written.
int DescribeEntry(const std::wstring& entryName, uint32_t type, const platform::FileStatus& status,
                  PendingEntry* entry) {
  if (!IsRelativeEntryName(entryName)) return EINVAL;
  ZipEntryHeader& header = entry->header;
  header.name = platform::ToNative(entryName) + (type == 040000 ? "/" : "");
  if (header.name.size() > kZipMaxEntryName) return ENAMETOOLONG;
  header.externalAttributes = (type | (status.mode & 0777)) << 16;
  if (!(status.mode & 0200)) header.externalAttributes |= 0x01;  // read-only for DOS readers
  if (type == 040000) header.externalAttributes |= 0x10;         // a folder for DOS readers
  if (platform::IsValidUtf8(header.name)) header.flags |= kFlagUtf8Names;
  header.zip64 = status.size >= kZip64Threshold;
  SetModified(status.modifiedSeconds, entry);
  header.owner = status.owner;
  header.group = status.group;
  return 0;
}

// A folder's entry holds no bytes.
class NoBytes final : public platform::FileStream {
 public:
  int Read(void*, size_t, size_t* got) override { return *got = 0, 0; }
  int Write(const void*, size_t) override { return EBADF; }
  int Seek(int64_t, Origin, uint64_t*) override { return ESPIPE; }
  int SetSize(uint64_t) override { return EBADF; }
  int Status(platform::FileStatus* status) override { return *status = {}, 0; }
  int Sync() override { return 0; }
  int Close() override { return 0; }
};

}  // namespace

platform::Status ZipAddFolder(ZipArchiveHandle* handle, const std::wstring& entryName,
                              const platform::FileStatus& status) {
  auto fail = [&entryName](int error) { return platform::Status::Error(error, entryName); };
  if (!handle) return fail(EINVAL);
  if (ZipArchiveBroken(handle)) return fail(handle->OutputError(handle->pipeline.failure()));
  PendingEntry entry;
  if (const int error = DescribeEntry(entryName, 040000, status, &entry); error != 0) {
    return fail(error);
  }
  handle->pending.push_back(std::move(entry));
  NoBytes none;
  platform::FileStatus noStatus;
  bool dropped = false;
  const int error = handle->pipeline.Add(none, 0, &noStatus, &dropped);
  if (ZipArchiveBroken(handle)) return fail(handle->OutputError(handle->pipeline.failure()));
  return error != 0 ? fail(error) : platform::Status();
}

platform::Status ZipAddFile(ZipArchiveHandle* handle, platform::FileStream& source,
                            const std::wstring& entryName, platform::ContentDigest* digest,
                            platform::FileStatus* read) {
  auto fail = [&entryName](int error) { return platform::Status::Error(error, entryName); };
  if (!handle) return fail(EINVAL);
  if (ZipArchiveBroken(handle)) return fail(handle->OutputError(handle->pipeline.failure()));
  platform::FileStatus status;
  if (const int error = source.Status(&status); error != 0) return fail(error);
  // A link is its target's text with the link type in the mode, as zip -y
  // stores it and unzip, bsdtar and 7z restore it.
  PendingEntry entry;
  if (const int error = DescribeEntry(entryName, status.link ? 0120000 : 0100000, status, &entry);
      error != 0) {
    return fail(error);
  }
  entry.digest = digest;
  handle->pending.push_back(std::move(entry));

  const int64_t described = status.modifiedSeconds;
  bool dropped = false;
  const int readError = handle->pipeline.Add(source, status.size, &status, &dropped);
  if (dropped) {
    handle->pending.pop_back();
  } else if (readError == 0 && status.modifiedSeconds != described) {
    // Read once more after a change: the entry has that version's time.
    SetModified(status.modifiedSeconds, &handle->pending.back());
  }
  if (ZipArchiveBroken(handle)) return fail(handle->OutputError(handle->pipeline.failure()));
  if (readError != 0) return fail(readError);
  if (read) *read = status;
  return {};
}

void ZipSetLevel(ZipArchiveHandle* handle, int level) {
  if (handle) handle->pipeline.SetLevel(level);
}

int ZipFinishEntries(ZipArchiveHandle* handle) {
  return handle ? handle->pipeline.Finish() : EINVAL;
}

int ZipCloseArchive(ZipArchiveHandle* handle) {
  if (!handle) return 0;
  std::unique_ptr<ZipArchiveHandle> owned(handle);
  int error = handle->pipeline.Finish();
  if (error == 0) error = handle->directory.WriteTo(handle->output);
  const int finished = handle->output.Finish();
  return error != 0 ? error : finished;
}

}  // namespace kelvane
