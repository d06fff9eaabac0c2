#include "restore/restore_plan.h"

#include <algorithm>
#include <unordered_set>

#include "platform/text_codec.h"
#include "platform/wildcard.h"
#include "util/format_text.h"

namespace kelvane {
namespace {

// A name an archive is found under in its folder: one component.
bool IsPlainName(std::string_view name) {
  return IsPlainRelativePath(name) && name.find('/') == std::string_view::npos;
}

std::string_view ParentOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// Why `entry` cannot be restored as it stands; empty when it can.
std::wstring EntryFault(const ManifestEntry& entry) {
  if (!IsPlainRelativePath(entry.path)) return L"its path does not stay inside the restore";
  if (entry.type == ManifestEntry::Type::kFolder) return {};
  if (!IsPlainName(entry.archive) || entry.archiveId.empty()) {
    return L"it names no archive that can hold it";
  }
  if (entry.type == ManifestEntry::Type::kFile && !entry.hasDigest) return L"it has no SHA-256";
  if (entry.type == ManifestEntry::Type::kLink &&
      (entry.target.empty() || entry.target.find('\0') != std::string::npos)) {
    return L"its link target is not usable";
  }
  return {};
}

}  // namespace

bool IsPlainRelativePath(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find('/', start);
    const std::string_view part = path.substr(start, slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

std::map<std::string, std::string> RestorePlan::NeededArchives() const {
  std::map<std::string, std::string> needed;
  for (const ManifestEntry& entry : entries) {
    if (entry.type != ManifestEntry::Type::kFolder) needed.emplace(entry.archive, entry.archiveId);
  }
  return needed;
}

void RestorePlan::HeldBy(const std::string& targetName) {
  if (!hasHeader || header.archive == targetName || header.id.empty()) return;
  for (ManifestEntry& entry : entries) {
    if (entry.archive == header.archive && entry.archiveId == header.id) {
      entry.archive = targetName;
    }
  }
  header.archive = targetName;
}

uint64_t RestorePlan::FileCount() const {
  return static_cast<uint64_t>(std::count_if(entries.begin(), entries.end(), [](const auto& e) {
    return e.type == ManifestEntry::Type::kFile;
  }));
}

uint64_t RestorePlan::FileBytes() const {
  uint64_t bytes = 0;
  for (const ManifestEntry& entry : entries) {
    if (entry.type == ManifestEntry::Type::kFile) bytes += entry.size;
  }
  return bytes;
}

void PlanBuilder::AddLine(std::string_view line) {
  ++lineNumber_;
  if (lineNumber_ == 1) {
    plan_.hasHeader = ParseHeaderLine(line, &plan_.header);
    if (!plan_.hasHeader) plan_.refusals.push_back(L"The manifest has no header line.");
    return;
  }
  ManifestEntry entry;
  if (!ParseEntryLine(line, &entry)) {
    plan_.refusals.push_back(
        FormatText(L"Line %lu of the manifest is not an entry: refused.", lineNumber_));
    return;
  }
  if (const std::wstring fault = EntryFault(entry); !fault.empty()) {
    plan_.refusals.push_back(
        FormatText(L"%s: refused, %s.", platform::FromNative(entry.path), fault));
    return;
  }
  plan_.entries.push_back(std::move(entry));
}

RestorePlan PlanBuilder::Finish() {
  std::vector<ManifestEntry>& entries = plan_.entries;
  // The order is sorted, not the entries: an entry is some 300 bytes that a
  // sort would move about twenty times each.
  std::vector<size_t> order(entries.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&entries](size_t a, size_t b) { return entries[a].path < entries[b].path; });
  // One id per archive: the first entry's.
  std::map<std::string, std::string> ids;
  // Paths that are files or links: nothing may lie below them.
  std::unordered_set<std::string_view> leaves;
  std::vector<ManifestEntry> kept;
  kept.reserve(entries.size());
  std::string_view previous;
  for (const size_t index : order) {
    ManifestEntry& entry = entries[index];
    std::wstring fault;
    if (!kept.empty() && entry.path == previous) fault = L"the manifest lists it twice";
    if (fault.empty() && entry.type != ManifestEntry::Type::kFolder) {
      const auto [known, added] = ids.emplace(entry.archive, entry.archiveId);
      if (!added && known->second != entry.archiveId) {
        fault = L"its archive has another id elsewhere in the manifest";
      }
    }
    for (std::string_view up = ParentOf(entry.path); fault.empty() && !up.empty();
         up = ParentOf(up)) {
      if (leaves.contains(up)) fault = L"it lies below a file or link";
    }
    if (!fault.empty()) {
      plan_.refusals.push_back(
          FormatText(L"%s: refused, %s.", platform::FromNative(entry.path), fault));
      continue;
    }
    kept.push_back(std::move(entry));
    previous = kept.back().path;
    if (kept.back().type != ManifestEntry::Type::kFolder) leaves.insert(kept.back().path);
  }
  entries = std::move(kept);
  return std::move(plan_);
}

std::vector<std::wstring> SelectOnly(const std::vector<std::wstring>& patterns, RestorePlan* plan,
                                     OnlyMatch match) {
  if (patterns.empty()) return {};
  std::vector<std::wstring> stored;  // as the stored paths are written
  for (const std::wstring& pattern : patterns) {
    stored.push_back(pattern.starts_with(L'/') ? pattern.substr(1) : pattern);
  }
  std::vector<bool> matched(patterns.size(), false);
  std::vector<bool> keep(plan->entries.size(), false);
  std::unordered_set<std::string_view> wantedFolders;   // above what is kept
  std::unordered_set<std::string_view> matchedFolders;  // kept with all below
  for (size_t i = 0; i < plan->entries.size(); ++i) {
    const ManifestEntry& entry = plan->entries[i];
    bool below = false;
    for (std::string_view up = ParentOf(entry.path); !below && !up.empty(); up = ParentOf(up)) {
      below = matchedFolders.contains(up);
    }
    const std::wstring path = platform::FromNative(entry.path);
    bool named = false;  // by a pattern of its own; each is marked as used
    for (size_t p = 0; p < stored.size(); ++p) {
      if (match == OnlyMatch::kExactPaths
              ? path == stored[p]
              : platform::MatchesPattern(path, stored[p], platform::LetterCase::kExact)) {
        matched[p] = named = true;
      }
    }
    keep[i] = below || named;
    if (!keep[i]) continue;
    if (entry.type == ManifestEntry::Type::kFolder) matchedFolders.insert(entry.path);
    for (std::string_view up = ParentOf(entry.path); !up.empty(); up = ParentOf(up)) {
      if (!wantedFolders.insert(up).second) break;
    }
  }
  for (size_t i = 0; i < plan->entries.size(); ++i) {
    const ManifestEntry& entry = plan->entries[i];
    if (entry.type == ManifestEntry::Type::kFolder && wantedFolders.contains(entry.path)) {
      keep[i] = true;
    }
  }
  std::vector<ManifestEntry> kept;
  for (size_t i = 0; i < plan->entries.size(); ++i) {
    if (keep[i]) kept.push_back(std::move(plan->entries[i]));
  }
  plan->entries = std::move(kept);
  std::vector<std::wstring> unmatched;
  for (size_t p = 0; p < patterns.size(); ++p) {
    if (!matched[p]) unmatched.push_back(patterns[p]);
  }
  return unmatched;
}

}  // namespace kelvane
