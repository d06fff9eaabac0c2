#include "platform/file_attributes.h"

namespace kelvane::platform {
namespace {
// FILETIME ticks from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000;
}  // namespace

uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  const int64_t ticks = seconds * 10000000 + nanoseconds / 100 + kUnixEpochTicks;
  return ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
}

}  // namespace kelvane::platform
