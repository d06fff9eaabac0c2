#include "archive/zip/zip_verify.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

#include "archive/zip/pkware_cipher.h"
#include "archive/zip/zip_reader.h"
#include "util/format_text.h"

namespace kelvane {
namespace {

// Reads an entry's raw data and checks it against its directory record;
// "" when it is good.
std::wstring CheckEntry(ZipReader& reader, const ZipEntry& entry, std::string_view password,
                        const ZipCheck& check) {
  uint64_t at = 0;
  std::wstring why;
  if (reader.LocateData(entry, &at, &why) != 0) return why;
  const int method = entry.method;
  if (method != 0 && method != Z_DEFLATED) {
    return FormatText(L"unknown method %ld", static_cast<long>(method));
  }
  const bool encrypted = (entry.flags & kZipEncrypted) != 0;
  if (encrypted && password.empty()) return L"encrypted, but the job has no password";
  PkwareCipher cipher(password);
  z_stream inflater{};
  if (method == Z_DEFLATED && inflateInit2(&inflater, -MAX_WBITS) != Z_OK) return L"out of memory";
  std::vector<uint8_t> in(1 << 16), out(1 << 16);
  uLong crc = crc32(0, nullptr, 0);
  uint64_t size = 0;
  size_t headerLeft = encrypted ? 12 : 0;
  uint8_t header[12];
  bool ended = method != Z_DEFLATED;
  uint64_t left = entry.compressedSize;
  while (left > 0) {
    if (check.stop && check.stop->load()) {
      why = L"not checked to its end (the run was cancelled)";
      break;
    }
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, in.size()));
    size_t got = 0;
    if (const int error = reader.ReadAt(at, in.data(), n, &got); error != 0 || got != n) {
      why = error != 0 ? L"cannot be read" : L"cut off";
      break;
    }
    at += n;
    left -= n;
    uint8_t* data = in.data();
    if (encrypted) {
      cipher.Decrypt(data, n);
      while (headerLeft > 0 && n > 0) {
        header[12 - headerLeft--] = *data++;
        --n;
        if (headerLeft == 0) {
          const uint8_t expected = (entry.flags & kZipDataDescriptor)
                                       ? static_cast<uint8_t>(entry.dosTime >> 8)
                                       : static_cast<uint8_t>(entry.crc >> 24);
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
  if (!why.empty()) return why;
  if (headerLeft > 0) return L"cut off";
  if (!ended) return L"cut off";
  if (size != entry.uncompressedSize) return L"wrong size";
  if (crc != entry.crc) return L"CRC error";
  return L"";
}

// Checks every `parts`-th entry from the `part`-th on, through its own view
// of the archive: each worker inflates its own entries.
void CheckPart(platform::FileStream& archive, const std::vector<ZipEntry>& entries,
               std::string_view password, const ZipCheck& check, size_t part, size_t parts) {
  ZipReader reader(archive);
  for (size_t index = part; index < entries.size(); index += parts) {
    if (check.stop && check.stop->load()) return;
    const ZipEntry& entry = entries[index];
    if (const std::wstring bad = CheckEntry(reader, entry, password, check); bad.empty()) {
      if (check.entryGood) check.entryGood(entry.name);
    } else if (check.entryBad) {
      check.entryBad(entry.name, bad);
    }
  }
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
  std::vector<ZipEntry> entries;
  {
    ZipReader directory(*views[0]);
    if (const int error = directory.ReadDirectory(&entries, why); error != 0) return error;
  }
  std::vector<std::thread> workers;
  for (size_t part = 1; part < parts; ++part) {
    workers.emplace_back(
        [&, part] { CheckPart(*views[part], entries, password, check, part, parts); });
  }
  CheckPart(*views[0], entries, password, check, 0, parts);
  for (std::thread& worker : workers) worker.join();
  return 0;
}

}  // namespace kelvane
