// The program's own result numbers. Results are 0 for success, an errno value
// for a failed system call, or one of these. They keep the numbers that job
// tools and logs have always shown, so they are not renumbered.
#pragma once

#include <cstdint>

namespace kelvane {

inline constexpr uint32_t kResultInvalidData = 13;   // text absent or not valid JSON
inline constexpr uint32_t kResultOutOfMemory = 14;   // no memory for a buffer
inline constexpr uint32_t kResultEmptyFile = 24;     // the file holds no bytes
inline constexpr uint32_t kResultVerifyFailed = 23;  // the target read back wrong (ERROR_CRC)
inline constexpr uint32_t kResultNoFilesFound = 18;  // nothing to save, an older archive kept
inline constexpr uint32_t kResultArchiveNotCreated = 110;
inline constexpr uint32_t kResultDiskTooSmall = 112;
inline constexpr uint32_t kResultTooManyLevels = 124;    // JSON nested too deep
inline constexpr uint32_t kResultNothingToSave = 1392;   // document without a tree
inline constexpr uint32_t kResultFunctionFailed = 1627;  // failed without a system code

}  // namespace kelvane
