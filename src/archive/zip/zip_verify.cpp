#include "archive/zip/zip_verify.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "archive/zip/pkware_cipher.h"
#include "util/format_text.h"

namespace kelvane {
namespace {

// minizip's reading side over an open file stream. minizip reads headers a
// few bytes at a time and seeks between them: a window of the file is kept,
// so only a read outside it reaches the system.
class Source {
 public:
  explicit Source(platform::FileStream* stream) : stream_(stream), window_(1 << 20) {}

  size_t Read(char* out, size_t n) {
    size_t done = 0;
    while (done < n) {
      if (position_ >= windowStart_ && position_ < windowStart_ + windowSize_) {
        const size_t at = static_cast<size_t>(position_ - windowStart_);
        const size_t take = std::min(n - done, windowSize_ - at);
        std::memcpy(out + done, window_.data() + at, take);
        done += take;
        position_ += take;
        continue;
      }
      if (!Fill()) break;
    }
    return done;
  }
  void Seek(uint64_t position) { position_ = position; }
  uint64_t position() const { return position_; }
  int Size(uint64_t* size) {
    uint64_t end = 0;
    if (const int error = stream_->Seek(0, platform::FileStream::kFromEnd, &end); error != 0) {
      return error_ = error;
    }
    *size = end;
    windowSize_ = 0;
    return 0;
  }
  int error() const { return error_; }

 private:
  // Reads the window that starts at the current position; false at the end
  // or on an error.
  bool Fill() {
    uint64_t at = 0;
    if (const int error =
            stream_->Seek(static_cast<int64_t>(position_), platform::FileStream::kFromStart, &at);
        error != 0) {
      error_ = error;
      return false;
    }
    windowStart_ = position_;
    windowSize_ = 0;
    while (windowSize_ < window_.size()) {
      size_t got = 0;
      if (const int error =
              stream_->Read(window_.data() + windowSize_, window_.size() - windowSize_, &got);
          error != 0) {
        error_ = error;
        return windowSize_ > 0;
      }
      if (got == 0) break;
      windowSize_ += got;
    }
    return windowSize_ > 0;
  }

  platform::FileStream* stream_;
  std::vector<char> window_;
  uint64_t windowStart_ = 0;
  size_t windowSize_ = 0;
  uint64_t position_ = 0;
  int error_ = 0;
};

voidpf Open(voidpf, const void* name, int) { return const_cast<void*>(name); }

uLong Read(voidpf, voidpf stream, void* buffer, uLong size) {
  return static_cast<Source*>(stream)->Read(static_cast<char*>(buffer), size);
}

uLong Write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T Tell(voidpf, voidpf stream) { return static_cast<Source*>(stream)->position(); }

long Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* source = static_cast<Source*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
    base = source->position();
  } else if (origin == ZLIB_FILEFUNC_SEEK_END && source->Size(&base) != 0) {
    return -1;
  }
  source->Seek(base + offset);
  return 0;
}

int Close(voidpf, voidpf) { return 0; }
int Error(voidpf, voidpf stream) { return static_cast<Source*>(stream)->error(); }

constexpr uLong kEncrypted = 0x1;
constexpr uLong kDataDescriptor = 0x8;

// Reads the current entry's raw data and checks it; "" when it is good.
std::wstring CheckEntry(unzFile zip, const unz_file_info64& info, std::string_view password,
                        const ZipCheck& check) {
  int method = 0, level = 0;
  if (unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK) return L"cannot be opened";
  if (method != 0 && method != Z_DEFLATED) {
    unzCloseCurrentFile(zip);
    return FormatText(L"unknown method %ld", static_cast<long>(method));
  }
  const bool encrypted = (info.flag & kEncrypted) != 0;
  if (encrypted && password.empty()) {
    unzCloseCurrentFile(zip);
    return L"encrypted, but the job has no password";
  }
  PkwareCipher cipher(password);
  z_stream inflater{};
  if (method == Z_DEFLATED && inflateInit2(&inflater, -MAX_WBITS) != Z_OK) {
    unzCloseCurrentFile(zip);
    return L"out of memory";
  }
  std::vector<uint8_t> in(1 << 16), out(1 << 16);
  uLong crc = crc32(0, nullptr, 0);
  uint64_t size = 0;
  size_t headerLeft = encrypted ? 12 : 0;
  uint8_t header[12];
  bool ended = method != Z_DEFLATED;
  std::wstring why;
  for (;;) {
    if (check.stop && check.stop->load()) {
      why = L"not checked to its end (the run was cancelled)";
      break;
    }
    const int got = unzReadCurrentFile(zip, in.data(), static_cast<unsigned>(in.size()));
    if (got < 0) {
      why = FormatText(L"cannot be read (minizip %ld)", static_cast<long>(got));
      break;
    }
    if (got == 0) break;
    uint8_t* data = in.data();
    size_t n = static_cast<size_t>(got);
    if (encrypted) {
      cipher.Decrypt(data, n);
      while (headerLeft > 0 && n > 0) {
        header[12 - headerLeft--] = *data++;
        --n;
        if (headerLeft == 0) {
          const uint8_t expected = (info.flag & kDataDescriptor)
                                       ? static_cast<uint8_t>(info.dosDate >> 8)
                                       : static_cast<uint8_t>(info.crc >> 24);
          if (header[11] != expected) why = L"wrong password";
        }
      }
      if (!why.empty()) break;
    }
    if (method != Z_DEFLATED) {
      crc = crc32(crc, data, static_cast<uInt>(n));
      size += n;
      continue;
    }
    inflater.next_in = data;
    inflater.avail_in = static_cast<uInt>(n);
    while (inflater.avail_in > 0 && !ended) {
      inflater.next_out = out.data();
      inflater.avail_out = static_cast<uInt>(out.size());
      const int result = inflate(&inflater, Z_NO_FLUSH);
      const size_t produced = out.size() - inflater.avail_out;
      crc = crc32(crc, out.data(), static_cast<uInt>(produced));
      size += produced;
      if (result == Z_STREAM_END) {
        ended = true;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        why = L"damaged data";
        break;
      }
    }
    if (!why.empty()) break;
    if (ended && inflater.avail_in > 0) {
      why = L"data after its end";
      break;
    }
  }
  if (method == Z_DEFLATED) inflateEnd(&inflater);
  unzCloseCurrentFile(zip);
  if (!why.empty()) return why;
  if (headerLeft > 0) return L"cut off";
  if (!ended) return L"cut off";
  if (size != info.uncompressed_size) return L"wrong size";
  if (crc != info.crc) return L"CRC error";
  return L"";
}

}  // namespace

namespace {

// Checks every `parts`-th entry from the `part`-th on, through its own view
// of the archive: each worker inflates its own entries.
int CheckPart(platform::FileStream& archive, std::string_view password, const ZipCheck& check,
              size_t part, size_t parts, std::wstring* why) {
  Source source(&archive);
  zlib_filefunc64_def io{};
  io.zopen64_file = Open;
  io.zread_file = Read;
  io.zwrite_file = Write;
  io.ztell64_file = Tell;
  io.zseek64_file = Seek;
  io.zclose_file = Close;
  io.zerror_file = Error;
  unzFile zip = unzOpen2_64(&source, &io);
  if (!zip) {
    *why = L"not a readable ZIP archive";
    return source.error() != 0 ? source.error() : EINVAL;
  }
  std::vector<char> name(65536);
  int result = unzGoToFirstFile(zip);
  for (size_t index = 0; result == UNZ_OK; ++index, result = unzGoToNextFile(zip)) {
    if (index % parts != part) continue;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr,
                                0, nullptr, 0) != UNZ_OK) {
      result = UNZ_BADZIPFILE;
      break;
    }
    const std::string entryName(name.data(), info.size_filename);
    if (const std::wstring bad = CheckEntry(zip, info, password, check); bad.empty()) {
      if (check.entryGood) check.entryGood(entryName);
    } else if (check.entryBad) {
      check.entryBad(entryName, bad);
    }
    if (check.stop && check.stop->load()) break;
  }
  unzClose(zip);
  if (result != UNZ_OK && result != UNZ_END_OF_LIST_OF_FILE &&
      !(check.stop && check.stop->load())) {
    *why = L"its directory is damaged";
    return source.error() != 0 ? source.error() : EINVAL;
  }
  return 0;
}

}  // namespace

int ZipCheckArchive(const std::function<int(std::unique_ptr<platform::FileStream>*)>& open,
                    std::string_view password, const ZipCheck& check, std::wstring* why) {
  const size_t parts = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::unique_ptr<platform::FileStream>> views(parts);
  for (auto& view : views) {
    if (const int error = open(&view); error != 0) {
      *why = L"cannot be opened";
      return error;
    }
  }
  std::vector<int> errors(parts);
  std::vector<std::wstring> reasons(parts);
  std::vector<std::thread> workers;
  for (size_t part = 1; part < parts; ++part) {
    workers.emplace_back([&, part] {
      errors[part] = CheckPart(*views[part], password, check, part, parts, &reasons[part]);
    });
  }
  errors[0] = CheckPart(*views[0], password, check, 0, parts, &reasons[0]);
  for (std::thread& worker : workers) worker.join();
  for (size_t part = 0; part < parts; ++part) {
    if (errors[part] != 0) {
      *why = reasons[part];
      return errors[part];
    }
  }
  return 0;
}

}  // namespace kelvane
