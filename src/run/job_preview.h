// What a run of a job would save and what it would leave out, and why, for a
// window that shows it while the job is edited. It is the dry run itself
// (the same scan, filters, exclusions and change catalog, the same reasons,
// entry for entry), gathered and counted by the kind of reason a user would
// name. It writes nothing.
//
// A preview runs on a thread of its own and stops soon after `stop` becomes
// true. It shares the run's process-wide cancel flag, so it must never
// overlap a run: whoever starts runs waits for its preview to end first.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

class JsonDocument;
class LanguageTable;

// Why a file or folder is left out, as a user would name it.
enum class LeftOutKind {
  kNoExtension,
  kHidden,
  kBlackList,
  kNotInWhiteList,
  kExcludedFolder,
  kLink,
  kUnchanged,  // unchanged since the last run (only changed files are taken)
  kOther,      // another file system, not a regular file, cannot be read, ...
};
inline constexpr size_t kLeftOutKinds = 8;

// The kind of a reason as the scan gives it ("no Extension", "in Blacklist").
LeftOutKind KindOfReason(std::wstring_view reason);

struct LeftOutEntry {
  std::wstring path;    // a folder's ends with "/"
  std::wstring reason;  // as the scan, the log and -dry-run -why give it
  LeftOutKind kind;
};

struct JobPreview {
  // kJobUnreadable: a run would refuse the job; the warnings say why.
  enum class State { kComplete, kStopped, kJobUnreadable } state = State::kComplete;
  uint32_t files = 0;  // that a run would save
  uint64_t bytes = 0;
  std::vector<LeftOutEntry> leftOut;             // in the order the scan found them
  std::array<uint32_t, kLeftOutKinds> counts{};  // of leftOut, by kind
  std::vector<std::wstring> warnings;  // what a run would warn of (a member of the wrong type)
};

JobPreview PreviewJob(const JsonDocument& job, const LanguageTable& texts,
                      const std::atomic<bool>& stop);

}  // namespace kelvane
