// What a job keeps of its restore points, as its settings say, and the
// sentence that tells the user.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

class LanguageTable;
struct BackupJob;

struct KeepPolicy {
  uint32_t last = 0;    // the newest N points
  uint32_t days = 0;    // the newest point of each of the last N days that have one
  uint32_t weeks = 0;   // ... ISO weeks ...
  uint32_t months = 0;  // ... months ...
  // Without a rule nothing is ever deleted.
  bool KeepsEverything() const { return last == 0 && days == 0 && weeks == 0 && months == 0; }
};

KeepPolicy KeepPolicyOf(const BackupJob& job);

// "Keeps the last 3 runs and one a day for 7 days, one a week for 4 weeks;
// ..."
std::wstring DescribePolicy(const KeepPolicy& policy, const LanguageTable& texts);
// The same, and how often the job makes a full backup when it asks for one.
std::wstring DescribeRetention(const BackupJob& job, const LanguageTable& texts);

}  // namespace kelvane
