#include "archive/zip/zip_archive.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "archive/zip/pack_pipeline.h"
#include "archive/zip/pkware_cipher.h"
#include "archive/zip/zip_end_repair.h"
#include "archive/zip/zip_output.h"
#include "platform/file_system.h"
#include "platform/local_clock.h"
#include "platform/paths.h"
#include "platform/text_codec.h"

namespace kelvane {

namespace {

// "Made by" Unix, format version 4.5 (ZIP64): unzip then restores the modes.
constexpr uLong kMadeByUnix = (3 << 8) | 45;
constexpr uLong kFlagEncrypted = 0x0001;
constexpr uLong kFlagDataDescriptor = 0x0008;
constexpr uLong kFlagUtf8Names = 0x0800;
constexpr uint32_t kDataDescriptorSignature = 0x08074b50;
// Entries that may reach 4 GiB (deflate can grow incompressible data a
// little) get ZIP64 headers. Smaller ones do not: minizip leaves the sizes in a
// raw entry's local ZIP64 field at zero, which 7z reports as a header error.
constexpr uint64_t kZip64Threshold = 0xFFFFFFFFull - (64ull << 20);

uLong DosDateTime(int64_t unixSeconds) {
  platform::CalendarTime t;
  if (!platform::LocalCalendarTime(unixSeconds, &t) || t.year < 1980) {
    return (1 << 21) | (1 << 16);  // 1980-01-01 00:00, the earliest DOS time
  }
  if (t.year > 2107) t = {2107, 12, 31, 23, 59, 58};
  return (static_cast<uLong>(t.year - 1980) << 25) | (static_cast<uLong>(t.month) << 21) |
         (static_cast<uLong>(t.day) << 16) | (static_cast<uLong>(t.hour) << 11) |
         (static_cast<uLong>(t.minute) << 5) | (static_cast<uLong>(t.second) / 2);
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

void PutLittleEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// What an entry's headers say, fixed when its file is added and written when
// the pipeline reaches it.
struct PendingEntry {
  std::string name;
  zip_fileinfo info{};
  std::vector<uint8_t> extra;  // the same in the local and the central header
  uLong flags = 0;
  bool zip64 = false;
  platform::ContentDigest* digest = nullptr;  // where the bytes' digest goes, if anywhere
};

}  // namespace

// The archive as the pipeline's sink: opens each entry in minizip's raw mode,
// encrypts what goes in when there is a password, and closes it.
struct ZipArchiveHandle : PackPipeline::Sink {
  ZipArchiveHandle(std::unique_ptr<platform::FileStream> archive, std::string_view secret,
                   int deflateLevel)
      : output(std::move(archive)),
        password(secret),
        level(std::clamp(deflateLevel, 0, 9)),
        pipeline(this->level, std::max(1u, std::thread::hardware_concurrency()), *this) {}

  int OutputError(int otherwise) const { return output.error() != 0 ? output.error() : otherwise; }

  int BeginEntry(bool stored, int deflateLevel) override {
    const PendingEntry& entry = pending.front();
    uLong flags = entry.flags;
    uint8_t header[12];
    if (!password.empty()) {
      // With a data descriptor the CRC may follow the data, so each file is
      // read once; readers then check the password against the DOS time.
      cipher = std::make_unique<PkwareCipher>(password);
      flags |= kFlagEncrypted | kFlagDataDescriptor;
      if (const int error = cipher->MakeHeader(static_cast<uint16_t>(entry.info.dosDate), header);
          error != 0) {
        return error;
      }
    } else {
      cipher.reset();
    }
    const int method = stored ? 0 : Z_DEFLATED;
    const auto extraSize = static_cast<uInt>(entry.extra.size());
    if (zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &entry.info, entry.extra.data(), extraSize,
                                entry.extra.data(), extraSize, nullptr, method,
                                stored ? 0 : deflateLevel, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                                nullptr, 0, kMadeByUnix, flags, entry.zip64 ? 1 : 0) != ZIP_OK) {
      return OutputError(EIO);
    }
    ++entries;
    emitted = 0;
    return cipher ? Emit(header, sizeof header) : 0;
  }

  int WriteEntry(uint8_t* data, size_t n) override {
    if (cipher) cipher->Encrypt(data, n);
    return Emit(data, n);
  }

  int EndEntry(uint32_t crc, const platform::ContentDigest& digest) override {
    const uint64_t size = digest.size;
    const bool zip64 = pending.front().zip64;
    platform::ContentDigest* wanted = pending.front().digest;
    pending.pop_front();
    if (!zip64 && (size >= 0xFFFFFFFFull || emitted >= 0xFFFFFFFFull)) {
      // The file grew past 4 GiB while it was read: its headers cannot hold
      // it, and an entry with wrong sizes would spoil the archive.
      zipCloseFileInZipRaw64(zip, size, crc);
      return EFBIG;
    }
    if (zipCloseFileInZipRaw64(zip, size, crc) != ZIP_OK) return OutputError(EIO);
    if (wanted) *wanted = digest;
    if (!cipher) return 0;
    // minizip has gone back to fill in the local header; the descriptor
    // follows the data as the flag promises.
    std::vector<uint8_t> descriptor;
    PutLittleEndian(descriptor, kDataDescriptorSignature, 4);
    PutLittleEndian(descriptor, crc, 4);
    PutLittleEndian(descriptor, emitted, zip64 ? 8 : 4);
    PutLittleEndian(descriptor, size, zip64 ? 8 : 4);
    return output.Append(descriptor.data(), descriptor.size()) ? 0 : OutputError(EIO);
  }

  int Emit(const uint8_t* bytes, size_t n) {
    emitted += n;
    return zipWriteInFileInZip(zip, bytes, static_cast<unsigned>(n)) == ZIP_OK ? 0
                                                                               : OutputError(EIO);
  }

  ZipOutput output;
  zipFile zip = nullptr;
  const std::string password;
  const int level;
  std::deque<PendingEntry> pending;
  std::unique_ptr<PkwareCipher> cipher;  // of the entry being written
  uint64_t emitted = 0;                  // of the entry being written
  uint64_t entries = 0;
  bool valid = false;
  PackPipeline pipeline;  // last: its workers stop before the rest goes
};

platform::Status ZipCreateArchive(std::unique_ptr<platform::FileStream> archive,
                                  std::string_view password, int level, ZipArchiveHandle** made) {
  *made = nullptr;
  auto handle = std::make_unique<ZipArchiveHandle>(std::move(archive), password, level);
  zlib_filefunc64_def callbacks = handle->output.Callbacks();
  handle->zip = zipOpen2_64(&handle->output, APPEND_STATUS_CREATE, nullptr, &callbacks);
  if (!handle->zip) {
    const int error = handle->OutputError(EIO);
    handle->output.Finish();
    return platform::Status::Error(error, L"the archive could not be begun");
  }
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
// DOS time and the extended timestamp (bytes 5 to 8 of the extra field).
void SetModified(int64_t seconds, PendingEntry* entry) {
  entry->info.dosDate = DosDateTime(seconds);
  const auto utc = static_cast<uint32_t>(std::clamp<int64_t>(seconds, 0, 0xFFFFFFFF));
  for (int i = 0; i < 4; ++i) entry->extra[5 + i] = static_cast<uint8_t>(utc >> (8 * i));
}

// What every entry's headers say of its name, type, mode and time; EINVAL
// for a name that climbs out of the folder it is extracted into, or starts at
// the root, which is never written.
int DescribeEntry(const std::wstring& entryName, uint32_t type, const platform::FileStatus& status,
                  PendingEntry* entry) {
  if (!IsRelativeEntryName(entryName)) return EINVAL;
  entry->name = platform::ToNative(entryName) + (type == 040000 ? "/" : "");
  if (entry->name.size() > kZipMaxEntryName) return ENAMETOOLONG;
  entry->info.external_fa = static_cast<uLong>(type | (status.mode & 0777)) << 16;
  if (!(status.mode & 0200)) entry->info.external_fa |= 0x01;  // read-only for DOS readers
  if (type == 040000) entry->info.external_fa |= 0x10;         // a folder for DOS readers
  if (platform::IsValidUtf8(entry->name)) entry->flags |= kFlagUtf8Names;
  entry->zip64 = status.size >= kZip64Threshold;
  // Info-ZIP's extended timestamp (the modification time in UTC seconds) and
  // Unix owner fields, as zip writes them by default: unzip -X and bsdtar
  // give back the exact second and, as root, the owner and group.
  std::vector<uint8_t>& extra = entry->extra;
  extra.reserve(9 + 15);  // its whole size: one allocation an entry, not six
  PutLittleEndian(extra, 0x5455, 2);
  PutLittleEndian(extra, 5, 2);
  extra.push_back(1);  // the modification time only
  PutLittleEndian(extra, 0, 4);
  SetModified(status.modifiedSeconds, entry);
  PutLittleEndian(extra, 0x7875, 2);
  PutLittleEndian(extra, 11, 2);
  extra.push_back(1);  // the field's version
  for (const uint32_t id : {status.owner, status.group}) {
    extra.push_back(4);  // bytes of the id
    PutLittleEndian(extra, id, 4);
  }
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
  if (zipClose(handle->zip, nullptr) != ZIP_OK && error == 0) {
    error = handle->output.error() != 0 ? handle->output.error() : EIO;
  }
  if (error == 0 && handle->output.stream()) {
    error = RepairZipEnd(*handle->output.stream(), handle->entries);
  }
  const int finished = handle->output.Finish();
  return error != 0 ? error : finished;
}

}  // namespace kelvane
