// The ZIP writer: turns files on disk into one .zip archive that unzip, 7z,
// file managers and Windows Explorer open.
//
// The writer deflates every entry itself on every core (pack_pipeline.h; raw deflate at levels 1 to
// 9, stored at 0 and below, and stored too where deflate does not pay), computes its CRC-32, and,
// with a password, encrypts it with the traditional PKWARE cipher, followed by a data descriptor,
// so each file is read once and an entry always matches the bytes that were read. Names are UTF-8
// with "/" separators and the UTF-8 flag (a name that is not valid UTF-8 keeps its bytes and goes
// without the flag); a backslash is a character of a name, as on Linux. Modification times are DOS
// times in local time and, in Info-ZIP's extended timestamp field, UTC seconds; owner and group go
// in its Unix owner field; folders are "name/" entries and links their targets' text; permissions
// are stored as Unix modes without the set-user-ID, set-group-ID and sticky bits (an archive never
// hands out someone's rights); ZIP64 is used wherever sizes or counts need it. Files pass in pieces
// of 1 MiB, never held in memory whole, and the central directory grows in a spool file, not in
// memory.
//
// A handle is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/status.h"

namespace kelvane {

struct ZipArchiveHandle;

// Longest entry name accepted, in bytes: what the format's 16-bit length holds.
inline constexpr size_t kZipMaxEntryName = 65535;

// Makes an archive in `archive`, a new empty file opened for writing;
// `centralSpool` is another, which nobody else sees, for the central directory
// until the archive is closed. `password` holds the password bytes (empty: no
// encryption). `*handle` is the archive's, or null after a failure.
platform::Status ZipCreateArchive(std::unique_ptr<platform::FileStream> archive,
                                  std::unique_ptr<platform::FileStream> centralSpool,
                                  std::string_view password, int level, ZipArchiveHandle** handle);

// Adds the rest of `source`, a file opened for reading at its start, as
// `entryName` (a relative name: never starting with "/", no "." or ".."
// component, else EINVAL). The file is read before the call returns; its
// entry is written in the order of the calls, later. Ok when the whole file
// was read; a failure's code says why (its context is the entry's name): a
// file that could not be read leaves no entry, unless it is larger than what
// the writer keeps in memory (16 MiB) and its entry was begun (then the entry
// holds what was read). A failed add leaves the archive usable unless
// ZipArchiveBroken() says the archive file itself could not be written (found
// out at this or an earlier add). With `digest`, the SHA-256 and size of the
// bytes the entry holds go there once the entry is written (ZipFinishEntries
// at the latest); it must stay valid until then. With `read`, the status of
// the version read goes there when the add is ok.
platform::Status ZipAddFile(ZipArchiveHandle* handle, platform::FileStream& source,
                            const std::wstring& entryName,
                            platform::ContentDigest* digest = nullptr,
                            platform::FileStatus* read = nullptr);

// Adds the folder `entryName` (a relative name as for ZipAddFile, without the
// final "/" the entry gets) with the mode and modification time of `status`,
// in the order of the calls.
platform::Status ZipAddFolder(ZipArchiveHandle* handle, const std::wstring& entryName,
                              const platform::FileStatus& status);

bool ZipArchiveBroken(const ZipArchiveHandle* handle);

// Entries added from now on are deflated at `level` (0 stores them) instead
// of the level the archive was made with.
void ZipSetLevel(ZipArchiveHandle* handle, int level);

// Writes every entry still in the works, so each digest asked for is in;
// more may be added afterwards. 0 or the errno value of the first failure.
int ZipFinishEntries(ZipArchiveHandle* handle);

// Writes the central directory and the end records, syncs and closes the
// file, and frees the handle. Returns 0 or an errno value (then the
// file is not a usable archive). A null handle is 0.
int ZipCloseArchive(ZipArchiveHandle* handle);

}  // namespace kelvane
