// What a directory entry reports about a file, in the Windows shape the backup
// rules are written in, and how Linux maps onto it:
//   DIRECTORY     a folder (a symbolic link to a folder carries it too, beside
//                 the reparse bits, so the walk reports it as a folder)
//   HIDDEN        the name starts with "."
//   READONLY      the owner has no write permission
//   ARCHIVE       always: every file counts as changed
//   SYSTEM        never
//   DEVICE        not a regular file, folder or link (FIFO, socket, device):
//                 such an entry is never opened
//   REPARSE_POINT with the SYMLINK tag for a symbolic link, with the
//                 MOUNT_POINT tag for a folder on another device than its parent
//   UNIX_EXTENSION always, with st_mode (type and permission bits) in the high
//                 16 bits, the form 7-Zip uses on Linux, so a 7z archive keeps
//                 the permission bits
#pragma once

#include <cstdint>
#include <string>

namespace kelvane::platform {

inline constexpr uint32_t kAttributeReadOnly = 0x001;
inline constexpr uint32_t kAttributeHidden = 0x002;
inline constexpr uint32_t kAttributeSystem = 0x004;
inline constexpr uint32_t kAttributeDirectory = 0x010;
inline constexpr uint32_t kAttributeArchive = 0x020;
inline constexpr uint32_t kAttributeDevice = 0x040;
inline constexpr uint32_t kAttributeReparsePoint = 0x400;
inline constexpr uint32_t kAttributeUnixExtension = 0x8000;
inline constexpr uint32_t kWindowsAttributeBits = 0x7FFF;

inline constexpr uint32_t kReparseTagMountPoint = 0xA0000003;
inline constexpr uint32_t kReparseTagSymlink = 0xA000000C;

// Which file an entry is on this machine: its device and inode number. A file
// opened later is the one the scan saw only when both still match.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// Times are FILETIME ticks: 100 ns units since 1601-01-01 UTC.
struct DirectoryEntry {
  std::wstring name;
  std::string nativeName;  // the same name as the system gives it
  // When not 0, the errno value of the entry's status, which could not be read:
  // only the name is known then.
  int error = 0;
  FileId id;
  uint32_t attributes = 0;
  uint32_t reparseTag = 0;    // meaningful with kAttributeReparsePoint
  uint64_t creationTime = 0;  // birth time where the file system keeps it
  uint64_t lastAccessTime = 0;
  uint64_t lastWriteTime = 0;
  // When the file's data or status last changed, in nanoseconds since 1970:
  // set by the system on every write, rename or chmod, and never by a user.
  uint64_t changeTime = 0;
  uint64_t size = 0;
  uint32_t owner = 0;  // the owner's user id
  uint32_t group = 0;  // the group's id
};

// Whether only root or the user running the program can have written what
// `entry` describes: one of them owns it and neither its group nor others
// may write it. What a run reads back from its archive folder (the change
// catalog, the targets it names) is trusted only so.
bool OnlyTrustedCanWrite(const DirectoryEntry& entry);

// A listed entry that is a regular file, or a folder: never a link, a device
// or an entry whose status could not be read.
bool IsPlainFile(const DirectoryEntry& entry);
bool IsPlainFolder(const DirectoryEntry& entry);

// FILETIME ticks for a Unix time in seconds and nanoseconds.
uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
// The Unix time in whole seconds of FILETIME ticks.
int64_t UnixSecondsFromFileTime(uint64_t ticks);

}  // namespace kelvane::platform
