#include "archive/zip/zip_archive.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "archive/zip/pkware_cipher.h"
#include "archive/zip/zip_end_repair.h"
#include "archive/zip/zip_output.h"
#include "platform/file_system.h"
#include "platform/local_clock.h"
#include "platform/paths.h"
#include "platform/text_codec.h"

namespace kelvane {

struct ZipArchiveHandle {
  explicit ZipArchiveHandle(std::unique_ptr<platform::FileStream> archive)
      : output(std::move(archive)) {}

  ZipOutput output;
  zipFile zip = nullptr;
  int level = 0;
  std::string password;
  uint64_t entries = 0;
  int lastError = 0;
  bool valid = false;
};

namespace {

constexpr size_t kChunk = 16384;
// "Made by" Unix, format version 4.5 (ZIP64): unzip then restores the modes.
constexpr uLong kMadeByUnix = (3 << 8) | 45;
constexpr uLong kFlagEncrypted = 0x0001;
constexpr uLong kFlagUtf8Names = 0x0800;
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

bool IsValidUtf8(const std::string& bytes) {
  return platform::ToNative(platform::FromNative(bytes)) == bytes &&
         platform::ToUtf8(platform::FromNative(bytes)) == bytes;
}

// The CRC-32 and size of what remains of `stream`.
int StreamCrc(platform::FileStream& stream, void* buffer, size_t bufferSize, uint32_t* crc,
              uint64_t* size) {
  uLong value = crc32(0, nullptr, 0);
  *size = 0;
  for (;;) {
    size_t got = 0;
    if (const int error = stream.Read(buffer, bufferSize, &got); error != 0) return error;
    if (got == 0) break;
    value = crc32(value, static_cast<const Bytef*>(buffer), static_cast<uInt>(got));
    *size += got;
  }
  *crc = static_cast<uint32_t>(value);
  return 0;
}

// Compresses (or stores) and encrypts one entry's bytes into the open raw entry.
class EntryWriter {
 public:
  EntryWriter(zipFile zip, int level, PkwareCipher* cipher)
      : zip_(zip), level_(level), cipher_(cipher) {}
  ~EntryWriter() {
    if (deflating_) deflateEnd(&z_);
  }

  bool Start() {
    if (level_ <= 0) return true;
    z_ = z_stream{};
    deflating_ = deflateInit2(&z_, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    return deflating_;
  }

  // Passes `n` bytes of the file (the last call with `finish` set).
  bool Put(const uint8_t* data, size_t n, bool finish) {
    if (level_ <= 0) return Emit(const_cast<uint8_t*>(data), n);
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(n);
    do {
      z_.next_out = out_;
      z_.avail_out = sizeof out_;
      const int status = deflate(&z_, finish ? Z_FINISH : Z_NO_FLUSH);
      if (status == Z_STREAM_ERROR) return false;
      if (!Emit(out_, sizeof out_ - z_.avail_out)) return false;
    } while (z_.avail_out == 0 || (finish && z_.avail_in > 0));
    return true;
  }

  // Writes bytes that are ready as they are (the encryption header).
  bool EmitRaw(const uint8_t* bytes, size_t n) {
    emitted_ += n;
    return zipWriteInFileInZip(zip_, bytes, static_cast<unsigned>(n)) == ZIP_OK;
  }

  bool Emit(uint8_t* bytes, size_t n) {
    if (n == 0) return true;
    if (cipher_) {
      // Never encrypt the caller's buffer in place when storing: copy first.
      if (level_ <= 0) {
        encrypted_.assign(bytes, bytes + n);
        bytes = encrypted_.data();
      }
      cipher_->Encrypt(bytes, n);
    }
    return EmitRaw(bytes, n);
  }

  uint64_t emitted() const { return emitted_; }

 private:
  zipFile zip_;
  int level_;
  PkwareCipher* cipher_;
  z_stream z_{};
  bool deflating_ = false;
  uint8_t out_[kChunk];
  std::vector<uint8_t> encrypted_;
  uint64_t emitted_ = 0;
};

}  // namespace

ZipArchiveHandle* ZipCreateArchive(std::unique_ptr<platform::FileStream> archive,
                                   std::string_view password, int level, int* error) {
  auto handle = std::make_unique<ZipArchiveHandle>(std::move(archive));
  handle->password = std::string(password);
  handle->level = level > 9 ? 9 : level;
  zlib_filefunc64_def callbacks = handle->output.Callbacks();
  handle->zip = zipOpen2_64(&handle->output, APPEND_STATUS_CREATE, nullptr, &callbacks);
  if (!handle->zip) {
    *error = handle->output.error() != 0 ? handle->output.error() : EIO;
    handle->output.Finish();
    return nullptr;
  }
  handle->valid = true;
  *error = 0;
  return handle.release();
}

int ZipLastError(const ZipArchiveHandle* handle) { return handle ? handle->lastError : EINVAL; }

bool ZipArchiveBroken(const ZipArchiveHandle* handle) {
  return !handle || !handle->valid || handle->output.error() != 0;
}

bool ZipAddFile(ZipArchiveHandle* handle, platform::FileStream& source,
                const std::wstring& entryName) {
  if (!handle || !handle->valid) return false;
  auto fail = [handle](int error) {
    handle->lastError = error;
    return false;
  };
  // A name that climbs out of the folder it is extracted into, or starts at
  // the root, is never written.
  if (!IsRelativeEntryName(entryName)) return fail(EINVAL);
  const std::string nameBytes = platform::ToNative(entryName);
  if (nameBytes.size() > kZipMaxEntryName) return fail(ENAMETOOLONG);

  platform::FileStatus status;
  if (const int error = source.Status(&status); error != 0) return fail(error);

  std::vector<uint8_t> buffer(kChunk);
  std::unique_ptr<PkwareCipher> cipher;
  uint32_t plannedCrc = 0;
  uint64_t plannedSize = 0;
  uint8_t header[12];
  if (!handle->password.empty()) {
    // The encryption header carries the CRC, and it comes before the data.
    if (const int error =
            StreamCrc(source, buffer.data(), buffer.size(), &plannedCrc, &plannedSize);
        error != 0) {
      return fail(error);
    }
    if (const int error = source.Seek(0, platform::FileStream::kFromStart, nullptr); error != 0) {
      return fail(error);
    }
    cipher = std::make_unique<PkwareCipher>(handle->password);
    if (const int error = cipher->MakeHeader(plannedCrc, header); error != 0) return fail(error);
  }

  zip_fileinfo info{};
  info.dosDate = DosDateTime(status.modifiedSeconds);
  info.external_fa = static_cast<uLong>(0100000 | (status.mode & 0777)) << 16;
  if (!(status.mode & 0200)) info.external_fa |= 0x01;  // read-only for DOS readers
  uLong flags = cipher ? kFlagEncrypted : 0;
  if (IsValidUtf8(nameBytes)) flags |= kFlagUtf8Names;
  const int method = handle->level > 0 ? Z_DEFLATED : 0;
  const bool zip64 = status.size >= kZip64Threshold;
  if (zipOpenNewFileInZip4_64(handle->zip, nameBytes.c_str(), &info, nullptr, 0, nullptr, 0,
                              nullptr, method, handle->level > 0 ? handle->level : 0, 1, -MAX_WBITS,
                              8, Z_DEFAULT_STRATEGY, nullptr, 0, kMadeByUnix, flags,
                              zip64 ? 1 : 0) != ZIP_OK) {
    return fail(handle->output.error() != 0 ? handle->output.error() : EIO);
  }
  ++handle->entries;

  EntryWriter writer(handle->zip, handle->level, cipher.get());
  bool written = writer.Start() && (!cipher || writer.EmitRaw(header, sizeof header));
  uLong crc = crc32(0, nullptr, 0);
  uint64_t size = 0;
  int readError = 0;
  while (written) {
    size_t got = 0;
    readError = source.Read(buffer.data(), buffer.size(), &got);
    const bool last = got == 0 || readError != 0;
    crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
    size += got;
    written = writer.Put(buffer.data(), got, last);
    if (last) break;
  }
  // The entry is closed in every case, so the archive stays readable; what
  // went wrong is reported as the add's failure.
  if (cipher && (crc != plannedCrc || size != plannedSize) && readError == 0) {
    readError = EAGAIN;  // the file changed between the two reads
  }
  const uLong storedCrc = cipher ? plannedCrc : crc;
  if (!zip64 && (size >= 0xFFFFFFFFull || writer.emitted() >= 0xFFFFFFFFull)) {
    // The file grew past 4 GiB while it was read: its headers cannot hold it,
    // and an entry with wrong sizes would spoil the archive.
    handle->valid = false;
    zipCloseFileInZipRaw64(handle->zip, size, storedCrc);
    return fail(EFBIG);
  }
  const bool closed = zipCloseFileInZipRaw64(handle->zip, size, storedCrc) == ZIP_OK;
  if (!written || !closed || handle->output.error() != 0) {
    handle->valid = handle->output.error() == 0 && closed;
    return fail(handle->output.error() != 0 ? handle->output.error() : EIO);
  }
  if (readError != 0) return fail(readError);
  handle->lastError = 0;
  return true;
}

int ZipCloseArchive(ZipArchiveHandle* handle) {
  if (!handle) return 0;
  std::unique_ptr<ZipArchiveHandle> owned(handle);
  int error = 0;
  if (zipClose(handle->zip, nullptr) != ZIP_OK) {
    error = handle->output.error() != 0 ? handle->output.error() : EIO;
  }
  if (error == 0 && handle->output.stream()) {
    error = RepairZipEnd(*handle->output.stream(), handle->entries);
  }
  const int finished = handle->output.Finish();
  return error != 0 ? error : finished;
}

}  // namespace kelvane
