#include "storage/storage_location.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <cwctype>

#include "platform/content_hash.h"
#include "platform/system_error.h"
#include "storage/folder_location.h"
#include "storage/rclone_location.h"
#include "util/error_text.h"

namespace kelvane {

std::wstring PartialName(const std::wstring& name) { return L"." + name + L".kvn-partial"; }

// rclone's own rule for a remote's name, before the first colon: letters,
// digits, "_-.+@" and spaces, not starting with "-" or a space. Anything
// else is refused, so a location never reaches rclone as one of its options.
bool IsRemoteLocation(const std::wstring& where) {
  const size_t colon = where.find(L':');
  if (colon == std::wstring::npos || colon == 0 || where[0] == L'-' || where[0] == L' ') {
    return false;
  }
  return std::all_of(where.begin(), where.begin() + static_cast<std::ptrdiff_t>(colon),
                     [](wchar_t c) { return std::iswalnum(c) || std::wcschr(L"_-.+@ ", c); });
}

std::unique_ptr<StorageLocation> MakeStorageLocation(const std::wstring& where,
                                                     std::function<bool()> keepGoing) {
  if (IsRemoteLocation(where)) {
    return std::make_unique<RcloneLocation>(where, std::move(keepGoing));
  }
  if (where.starts_with(L"/")) return std::make_unique<FolderLocation>(where, std::move(keepGoing));
  return nullptr;
}

std::wstring LocationFailureText(const std::wstring& where, const platform::Status& status) {
  std::wstring text = StatusText(status);
  for (const std::wstring& named : {where + L"/", where}) {
    if (text.starts_with(named)) {
      text.erase(0, named.size());
      text.erase(0, text.find_first_not_of(L".: "));
      break;
    }
  }
  return text;
}

platform::Status ProbeLocation(StorageLocation& location, const platform::Folder& scratch) {
  const std::wstring name = L".kelvane-test-" + std::to_wstring(::getpid());
  const std::string bytes = "Kelvane checks that this place can hold backups.\n";
  platform::Status status = location.Open();
  if (status.ok()) status = platform::WriteWholeFile(scratch, name, scratch, name, bytes);
  std::vector<platform::DirectoryEntry> entries;
  if (status.ok()) status = platform::Fs().ReadDirectory(scratch, &entries);
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.name == name && status.ok()) status = location.Put(scratch, entry, true);
  }
  if (status.ok()) {
    platform::Folder back;
    std::wstring backName;
    status = platform::Fs().MakeTemporaryFolder(scratch, L"back", &backName, &back);
    platform::ContentDigest read;
    if (status.ok()) status = location.Fetch(name, back);
    if (status.ok()) status = platform::Fs().ReadBack(back, name, &read);
    if (status.ok() && !(read == platform::DigestOf(bytes))) {
      status = platform::Status::Error(platform::kErrorProgramFailed,
                                       location.where() + L": the test file read back otherwise");
    }
    (void)location.Remove(name);
  }
  return status;
}

}  // namespace kelvane
