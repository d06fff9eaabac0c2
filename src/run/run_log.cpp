#include "run/run_log.h"

#include <ctime>

#include "platform/file_system.h"
#include "platform/local_clock.h"
#include "util/result_codes.h"

namespace kelvane {

RunLog::~RunLog() { CloseLog(); }

RunLog& ProcessLog() {
  static RunLog log;
  return log;
}

uint32_t RunLog::OpenLog(const std::wstring& path) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  file_.Close();
  platform::Fs().ClearReadOnly(path);
  platform::Fs().Remove(path);
  prefixSecond_ = -1;
  return file_.Create(path) == 0 ? 0 : kResultFunctionFailed;
}

bool RunLog::IsOpen() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return file_.IsOpen();
}

const std::string& RunLog::Prefix() {
  // Formatting the local time for every line of a scan that logs each file
  // would dominate; the text changes once a second.
  const int64_t now = std::time(nullptr);
  if (now != prefixSecond_) {
    prefix_ = WideToUtf8(platform::FormatLocalTime("[%x %X] "));
    prefixSecond_ = now;
  }
  return prefix_;
}

void RunLog::WriteLogLine(std::wstring_view text) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!file_.IsOpen()) return;
  file_.Write(Prefix());
  file_.Write(WideToUtf8(text));
  file_.Write("\n", 1);
}

void RunLog::CloseLog() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  file_.Close();
}

}  // namespace kelvane
