// The ZIP writer: turns files on disk into one .zip archive that unzip, 7z,
// file managers and Windows Explorer open.
//
// Every entry is written in minizip's raw mode: the writer deflates it itself
// (zlib, raw deflate at levels 1 to 9; stored at 0 and below), computes its
// CRC-32, and, with a password, encrypts it with the traditional PKWARE
// cipher. Names are UTF-8 with "/" separators and the UTF-8 flag (a name that
// is not valid UTF-8 keeps its bytes and goes without the flag); modification
// times are DOS times in local time; permissions are stored as Unix modes;
// ZIP64 is used wherever sizes or counts need it. Files stream through a
// 16 KiB buffer, never held in memory whole.
//
// A handle is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

struct ZipArchiveHandle;

// Longest entry name accepted, in bytes: the platform's path limit.
inline constexpr size_t kZipMaxEntryName = 4096;

// Creates (or replaces) the archive at `path`. `password` holds the password
// bytes (empty: no encryption). Returns null on failure, with the errno value
// in `*error`.
ZipArchiveHandle* ZipCreateArchive(const std::wstring& path, std::string_view password, int level,
                                   int* error);

// Adds the file at `sourcePath` as `entryName` (null: the file's own name).
// True when the whole file went in. On false, ZipLastError() tells why; a
// failed add leaves the archive usable unless ZipArchiveBroken() says the
// archive file itself could not be written.
bool ZipAddFile(ZipArchiveHandle* handle, const std::wstring& sourcePath,
                const std::wstring* entryName);

int ZipLastError(const ZipArchiveHandle* handle);
bool ZipArchiveBroken(const ZipArchiveHandle* handle);

// Writes the central directory, mends what minizip leaves wrong, syncs and
// closes the file, and frees the handle. Returns 0 or an errno value (then the
// file is not a usable archive). A null handle is 0.
int ZipCloseArchive(ZipArchiveHandle* handle);

// CRC-32 of the whole file at `path`, read in chunks into `buffer`. Returns 0
// when the end of the file was reached cleanly, -1 otherwise.
int ZipFileCrc(const std::wstring& path, void* buffer, size_t bufferSize, uint32_t* crc);

}  // namespace kelvane
