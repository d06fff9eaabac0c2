// What a restore writes: the entries of one restore point's manifest, checked
// before anything is written, in path order (a folder before what it holds).
//
// A manifest can come from anywhere (a copy off-site, another user's folder),
// so every entry is input from someone else. An entry whose path could lead
// anywhere but below the restore's folder (absolute, ".", "..", an empty
// component, a NUL), whose archive is not a plain file name, that repeats a
// path, or that lies below a file or link of the same point is refused with
// the reason; the rest is restored.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "manifest/manifest_line.h"

namespace kelvane {

struct RestorePlan {
  ManifestHeader header;
  std::vector<ManifestEntry> entries;  // sorted by path
  // What was refused, one line each for the log.
  std::vector<std::wstring> refusals;
  bool hasHeader = false;

  // The archives the files and links need, each with the id the manifest
  // gives it.
  std::map<std::string, std::string> NeededArchives() const;
  // The plan's own archive is the file its manifest was read from, named
  // `targetName` now: what it holds is taken from there, not from a file of
  // the name it was written under (a renamed or copied archive restores).
  void HeldBy(const std::string& targetName);
  uint64_t FileCount() const;
  uint64_t FileBytes() const;
};

// Builds a plan from a manifest's lines, given one at a time.
class PlanBuilder {
 public:
  // Takes the next line, without its line feed: the header first.
  void AddLine(std::string_view line);
  // Sorts and checks what was read.
  RestorePlan Finish();

 private:
  RestorePlan plan_;
  uint64_t lineNumber_ = 0;
};

// How the paths given to SelectOnly name entries: as the job's wildcards
// (typed by a user), or each one stored path exactly (ticked in a tree,
// where a file called "page?.html" must not bring "page1.html" along).
enum class OnlyMatch { kWildcards, kExactPaths };

// Keeps the entries whose stored path matches one of `patterns` (letter
// case exact; a leading "/" is the stored path's, which has none), what lies
// below a folder that matches, and the folders above what is kept; all of
// them when `patterns` is empty. Returns the patterns that matched nothing:
// a typing error must not pass for an empty restore.
std::vector<std::wstring> SelectOnly(const std::vector<std::wstring>& patterns, RestorePlan* plan,
                                     OnlyMatch match = OnlyMatch::kWildcards);

// Whether `path` is a relative path of plain components: no empty one, no
// "." or "..", no NUL.
bool IsPlainRelativePath(std::string_view path);

}  // namespace kelvane
