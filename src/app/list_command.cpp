#include <cstdio>

#include "app/command.h"
#include "app/command_support.h"
#include "app/commands.h"
#include "app/exit_status.h"
#include "app/restore_source.h"
#include "cli/command_line.h"
#include "json/json_string.h"
#include "language/language_table.h"
#include "platform/local_clock.h"
#include "platform/text_codec.h"
#include "util/byte_size.h"
#include "util/format_text.h"
#include "util/template_format.h"

namespace kelvane {
namespace {

std::string LocalTimeText(int64_t unixSeconds) {
  platform::CalendarTime time;
  if (!platform::LocalCalendarTime(unixSeconds, &time)) return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", time.year, time.month, time.day,
                time.hour, time.minute);
  return text;
}

std::string Json(const std::wstring& text) {
  std::string quoted;
  AppendJsonString(platform::ToUtf8(text), &quoted);
  return quoted;
}

void PrintJson(const std::vector<RestorePoint>& points) {
  std::string out = "[";
  for (const RestorePoint& point : points) {
    if (out.size() > 1) out += ",";
    out += "\n  {\"archive\":" + Json(point.target.name) +
           ",\"time\":" + Json(platform::FromNative(point.header.time)) +
           ",\"kind\":" + Json(platform::FromNative(point.header.kind)) +
           ",\"files\":" + std::to_string(point.files) +
           ",\"bytes\":" + std::to_string(point.bytes) + ",\"check\":" +
           Json(point.header.check.empty() ? L"none" : platform::FromNative(point.header.check)) +
           ",\"restorable\":" + (point.hasManifest ? "true" : "false") +
           ",\"chainComplete\":" + (point.hasManifest && point.missing.empty() ? "true" : "false") +
           ",\"missing\":[";
    for (size_t i = 0; i < point.missing.size(); ++i) {
      out += (i ? "," : "") + Json(point.missing[i]);
    }
    out += "]";
    if (!point.fault.empty()) out += ",\"fault\":" + Json(point.fault);
    out += "}";
  }
  out += points.empty() ? "]\n" : "\n]\n";
  std::fputs(out.c_str(), stdout);
}

// One line a point, newest first: when, which archive, its kind, what it
// holds, and whether all it needs is there (what is not, on the next lines).
void PrintPoints(const CommandContext& context, const RestoreSource& source,
                 const std::vector<RestorePoint>& points) {
  if (points.empty()) {
    const std::wstring where = source.location ? source.location->where() : source.folder.path();
    PrintLine(PrintFEx(context.texts.GetText(L"console_list_none"), {where}));
  }
  for (const RestorePoint& point : points) {
    std::wstring state;
    if (!point.hasManifest) {
      state = PrintFEx(context.texts.GetText(L"console_list_no_manifest"), {point.fault});
    } else {
      state = context.texts.GetText(point.missing.empty() ? L"console_list_complete"
                                                          : L"console_list_incomplete");
    }
    PrintLine(FormatText(L"%s  %s  %s  %s  %s  %s  %s",
                         platform::FromNative(LocalTimeText(point.unixTime)), point.target.name,
                         point.hasManifest ? platform::FromNative(point.header.kind) : L"-",
                         CountOf(point.files, L"file", L"files"), FormatByteSize(point.bytes),
                         context.texts.GetText(CheckTextKey(point)), state));
    for (const std::wstring& missing : point.missing) PrintLine(L"    " + missing);
  }
}

}  // namespace

// The points here, then those of each further storage location.
int ListCommand(const CommandContext& context) {
  RestoreSource source;
  if (const std::optional<int> refused = OpenRestoreSource(context, &source)) return *refused;
  const std::vector<RestorePoint> points = SourcePoints(source);
  if (context.args.Flag(L"json")) {
    PrintJson(points);
    return kExitDone;
  }
  if (!source.lastBackup.empty()) PrintLine(source.lastBackup);
  PrintPoints(context, source, points);
  for (const std::wstring& where : source.locations) {
    PrintLine(L"");
    PrintLine(PrintFEx(context.texts.GetText(L"console_list_location"), {where}));
    RestoreSource there;
    there.isTarget = source.isTarget;
    there.keys = source.keys;
    if (const std::optional<std::wstring> failed = ReadFromLocation(where, &there)) {
      PrintLine(L"  " + *failed);
      continue;
    }
    PrintPoints(context, there, SourcePoints(there));
  }
  return kExitDone;
}

}  // namespace kelvane
