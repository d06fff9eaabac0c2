// The two forms of a job's pattern and folder lists: one text with an entry per
// line (CR LF) in memory, an array of strings in the job file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The entries a list text is saved as: CR removed, split at LF and "|" (runs of
// separators give no entry), each piece trimmed of white space, sorted by
// UTF-16 code unit (case-sensitive), exact duplicates removed. A piece of only
// white space stays as an empty entry.
std::vector<std::wstring> ListEntriesForSaving(std::wstring_view listText);

// The list text for loaded entries: each followed by CR LF, then every trailing
// CR and LF removed.
std::wstring JoinListEntries(const std::vector<std::wstring>& entries);

}  // namespace kelvane
