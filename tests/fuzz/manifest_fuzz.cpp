// Any bytes as a manifest a restore follows: reading never crashes, nothing
// the plan keeps could be written outside the restore's folder or twice, and
// an entry the plan keeps writes back to a line that reads as the same entry
// (what a folder does not have, such as a size, is not written).
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "manifest/manifest_line.h"
#include "restore/restore_plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kelvane::PlanBuilder builder;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    builder.AddLine(text.substr(start, end - start));
    start = end + 1;
  }
  kelvane::RestorePlan plan = builder.Finish();
  std::set<std::string> paths;
  for (const kelvane::ManifestEntry& entry : plan.entries) {
    if (!kelvane::IsPlainRelativePath(entry.path) || !paths.insert(entry.path).second) {
      __builtin_trap();
    }
    std::string line;
    kelvane::AppendEntryLine(entry, &line);
    kelvane::ManifestEntry back;
    using Type = kelvane::ManifestEntry::Type;
    if (!kelvane::ParseEntryLine(std::string_view(line).substr(0, line.size() - 1), &back) ||
        back.path != entry.path || back.type != entry.type ||
        (entry.type == Type::kLink && back.target != entry.target) ||
        (entry.type == Type::kFile && back.size != entry.size)) {
      __builtin_trap();
    }
  }
  kelvane::SelectOnly({L"a*", L"*/b"}, &plan);
  return 0;
}
