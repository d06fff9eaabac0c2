// Reading the files a run believes: the change catalog and the manifests in
// the archive folder decide what a backup leaves out and what a restore
// brings back, so each is read only when nobody but root or the running user
// can have written it or its folder, and a line at a time, never whole.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace kelvane {

// Opens `name` of `folder` (listed in `entries`) for reading. A failure's
// context says why, as the end of a sentence ("not found", "may have been
// written by another user", "cannot be read. …").
platform::Status OpenTrustedFile(const platform::Folder& folder,
                                 const std::vector<platform::DirectoryEntry>& entries,
                                 const std::wstring& name,
                                 std::unique_ptr<platform::FileStream>* stream);

// Calls `line` with each line of `stream`, without its line feed, until one
// fails; a line longer than `longest` or a last line without its line feed
// is damage (EINVAL). A read that fails sets `*readError` too.
platform::Status ReadEachLine(platform::FileStream& stream, size_t longest,
                              const std::function<platform::Status(std::string_view)>& line,
                              int* readError);

}  // namespace kelvane
