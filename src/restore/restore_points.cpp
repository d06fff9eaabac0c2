#include "restore/restore_points.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/local_clock.h"
#include "platform/text_codec.h"
#include "run/trusted_file.h"
#include "util/error_text.h"

namespace kelvane {
namespace {

// A path, a link target and the rest of a line, with room to spare.
constexpr size_t kLongestLine = 1u << 20;

// Calls `line` with each line of the target's manifest until it returns
// false.
platform::Status ReadManifestLines(const platform::Folder& folder,
                                   const std::vector<platform::DirectoryEntry>& listing,
                                   const platform::DirectoryEntry& target, const ReaderKeys& keys,
                                   const std::function<bool(std::string_view)>& line) {
  std::unique_ptr<platform::FileStream> stream;
  if (OpenTrustedFile(folder, listing, target.name + kManifestSuffix, &stream).ok()) {
    int error = 0;
    platform::Status read = ReadEachLine(
        *stream, kLongestLine,
        [&line](std::string_view text) {
          return line(text) ? platform::Status() : platform::Status::Error(ECANCELED, L"");
        },
        &error);
    if (read.code() == ECANCELED) return {};
    if (!read.ok()) {
      return platform::Status::Error(
          read.code(), folder.path() + target.name + kManifestSuffix + L": " + read.context());
    }
    return {};
  }
  std::unique_ptr<TargetReader> reader;
  std::string text;
  platform::Status read = OpenTargetReader(folder, target, keys, nullptr, &reader);
  if (read.ok()) read = ReadInnerManifest(*reader, &text);
  if (!read.ok()) {
    const std::wstring path = folder.path() + target.name;
    return read.context().starts_with(path)
               ? read
               : platform::Status::Error(read.code(), path + L" " + read.context());
  }
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    if (!line(std::string_view(text).substr(start, end - start))) break;
    start = end + 1;
  }
  return {};
}

const platform::DirectoryEntry* Listed(const std::vector<platform::DirectoryEntry>& listing,
                                       const std::string& name) {
  for (const platform::DirectoryEntry& entry : listing) {
    if (entry.nativeName == name && entry.error == 0) return &entry;
  }
  return nullptr;
}

}  // namespace

platform::Status ReadTargetPlan(const platform::Folder& folder,
                                const std::vector<platform::DirectoryEntry>& listing,
                                const platform::DirectoryEntry& target, const ReaderKeys& keys,
                                RestorePlan* plan) {
  PlanBuilder builder;
  const platform::Status read =
      ReadManifestLines(folder, listing, target, keys, [&builder](std::string_view line) {
        builder.AddLine(line);
        return true;
      });
  *plan = builder.Finish();
  plan->HeldBy(target.nativeName);
  return read;
}

const wchar_t* CheckTextKey(const RestorePoint& point) {
  if (point.header.check == "passed") return L"console_list_check_passed";
  if (point.header.check == "failed") return L"console_list_check_failed";
  return L"console_list_not_checked";
}

std::vector<RestorePoint> FindRestorePoints(
    const platform::Folder& folder, const std::vector<platform::DirectoryEntry>& listing,
    const std::function<bool(const std::wstring&)>& isTarget, const ReaderKeys& keys,
    std::optional<PointPlan>* newest) {
  const auto newer = [](const RestorePoint& a, const RestorePoint& b) {
    return a.unixTime != b.unixTime ? a.unixTime > b.unixTime : a.target.name > b.target.name;
  };
  if (newest) newest->reset();
  std::optional<size_t> newestPoint;  // the index of the point whose plan `newest` holds
  std::vector<RestorePoint> points;
  std::vector<std::map<std::string, std::string>> needs;
  for (const platform::DirectoryEntry& entry : listing) {
    if (entry.error != 0 || !isTarget(entry.name)) continue;
    RestorePoint point;
    point.target = entry;
    RestorePlan plan;
    const platform::Status read = ReadTargetPlan(folder, listing, entry, keys, &plan);
    point.hasManifest = read.ok() && plan.hasHeader;
    point.madeBeforeManifests = read.code() == ENOENT;
    point.fault = !read.ok()        ? read.context() + ErrorText(static_cast<uint32_t>(read.code()))
                  : !plan.hasHeader ? L"its manifest has no header"
                                    : L"";
    point.header = plan.header;
    point.unixTime = ManifestTime(plan.header.time)
                         .value_or(platform::UnixSecondsFromFileTime(entry.lastWriteTime));
    point.files = plan.FileCount();
    point.bytes = plan.FileBytes();
    needs.push_back(plan.NeededArchives());
    if (newest && point.hasManifest && (!newestPoint || newer(point, points[*newestPoint]))) {
      newestPoint = points.size();
      *newest = PointPlan{point.target.name, std::move(plan)};
    }
    points.push_back(std::move(point));
  }
  for (size_t i = 0; i < points.size(); ++i) {
    for (const auto& need : needs[i]) {
      const std::string& archive = need.first;
      const std::string& id = need.second;
      points[i].needs.push_back(archive);
      const auto holder = std::find_if(points.begin(), points.end(), [&](const RestorePoint& p) {
        return p.target.nativeName == archive;
      });
      if (holder == points.end()) {
        points[i].missing.push_back(platform::FromNative(archive) + L" (not found)");
      } else if (holder->header.id != id) {
        points[i].missing.push_back(platform::FromNative(archive) + L" (another archive)");
      }
    }
  }
  std::stable_sort(points.begin(), points.end(), newer);
  return points;
}

std::vector<std::wstring> MissingArchives(const platform::Folder& folder,
                                          const std::vector<platform::DirectoryEntry>& listing,
                                          const RestorePlan& plan, const ReaderKeys& keys) {
  std::vector<std::wstring> missing;
  for (const auto& [archive, id] : plan.NeededArchives()) {
    const platform::DirectoryEntry* entry = Listed(listing, archive);
    if (!entry) {
      missing.push_back(platform::FromNative(archive) + L" (not found)");
      continue;
    }
    if (plan.header.archive == archive && plan.header.id == id) {
      continue;  // the point's own target, whose manifest was just read
    }
    ManifestHeader header;
    const platform::Status read =
        ReadManifestLines(folder, listing, *entry, keys, [&header](std::string_view line) {
          (void)ParseHeaderLine(line, &header);
          return false;  // the header is all it takes
        });
    if (!read.ok()) {
      missing.push_back(platform::FromNative(archive) + L" (" + read.context() +
                        ErrorText(static_cast<uint32_t>(read.code())) + L")");
    } else if (header.id != id) {
      missing.push_back(platform::FromNative(archive) + L" (another archive)");
    }
  }
  return missing;
}

std::optional<size_t> ChoosePoint(const std::vector<RestorePoint>& points,
                                  const std::wstring& spec) {
  std::optional<int64_t> atOrBefore;
  if (!spec.empty() && spec != L"latest") {
    platform::CalendarTime time;
    int consumed = 0;
    if (std::swscanf(spec.c_str(), L"%4d-%2d-%2dT%2d:%2d%n", &time.year, &time.month, &time.day,
                     &time.hour, &time.minute, &consumed) == 5) {
      if (spec[static_cast<size_t>(consumed)] == L':') {
        (void)std::swscanf(spec.c_str() + consumed, L":%2d", &time.second);
      }
      atOrBefore = platform::UnixTimeOfLocal(time);
    }
  }
  for (size_t i = 0; i < points.size(); ++i) {
    const RestorePoint& point = points[i];
    if (!point.hasManifest) continue;
    if (spec.empty() || spec == L"latest" || point.target.name == spec) return i;
    if (atOrBefore && point.unixTime <= *atOrBefore) return i;
  }
  return std::nullopt;
}

}  // namespace kelvane
