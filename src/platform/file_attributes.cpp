#include "platform/file_attributes.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::platform {
namespace {
// FILETIME ticks from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000;
}  // namespace

uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  const int64_t ticks = seconds * 10000000 + nanoseconds / 100 + kUnixEpochTicks;
  return ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
}

int64_t UnixSecondsFromFileTime(uint64_t ticks) {
  return (static_cast<int64_t>(ticks) - kUnixEpochTicks) / 10000000;
}

bool OnlyTrustedCanWrite(const DirectoryEntry& entry) {
  if (entry.error != 0 || !(entry.attributes & kAttributeUnixExtension)) return false;
  const uint32_t mode = entry.attributes >> 16;
  const bool trustedOwner = entry.owner == 0 || entry.owner == ::geteuid();
  return trustedOwner && (mode & (S_IWGRP | S_IWOTH)) == 0;
}

namespace {
constexpr uint32_t kNotPlain = kAttributeReparsePoint | kAttributeDevice;
}  // namespace

bool IsPlainFile(const DirectoryEntry& entry) {
  return entry.error == 0 && (entry.attributes & (kNotPlain | kAttributeDirectory)) == 0;
}

bool IsPlainFolder(const DirectoryEntry& entry) {
  return entry.error == 0 && (entry.attributes & kAttributeDirectory) &&
         !(entry.attributes & kNotPlain);
}

}  // namespace kelvane::platform
