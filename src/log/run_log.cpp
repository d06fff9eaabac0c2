#include "log/run_log.h"

#include <ctime>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/local_clock.h"
#include "platform/text_codec.h"
#include "util/line_escape.h"
#include "util/result_codes.h"

namespace kelvane {

RunLog::~RunLog() { CloseLog(); }

RunLog& ProcessLog() {
  static RunLog log;
  return log;
}

uint32_t RunLog::OpenLog(const platform::Folder& folder, const std::wstring& name) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  file_.Close();
  std::unique_ptr<platform::FileStream> file;
  const int error = platform::Fs().CreateFile(folder, name, &file).code();
  if (error == 0) file_.Open(std::move(file));
  return Opened(error);
}

uint32_t RunLog::OpenLog(const std::wstring& path) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  file_.Close();
  return Opened(file_.Create(path));
}

uint32_t RunLog::Opened(int error) {
  error_ = error;
  lines_ = 0;
  prefixSecond_ = -1;
  return error == 0 ? 0 : kResultFunctionFailed;
}

bool RunLog::IsOpen() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return file_.IsOpen();
}

int RunLog::error() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return error_ != 0 ? error_ : file_.error();
}

const std::string& RunLog::Prefix() {
  // Formatting the local time for every line of a scan that logs each file
  // would dominate; the text changes once a second.
  const int64_t now = platform::Time().WallSeconds();
  if (now != prefixSecond_) {
    prefix_ = platform::ToUtf8(platform::FormatLocalTime("[%x %X] "));
    prefixSecond_ = now;
  }
  return prefix_;
}

void RunLog::WriteLogLine(std::wstring_view text) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!file_.IsOpen()) return;
  file_.Write(Prefix());
  file_.Write(EscapedLine(text));
  file_.Write("\n", 1);
  ++lines_;
}

uint64_t RunLog::lineCount() const {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return lines_;
}

int RunLog::CloseLog() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (file_.IsOpen()) {
    const int closed = file_.Close();
    if (error_ == 0) error_ = closed;
  }
  return error_;
}

}  // namespace kelvane
