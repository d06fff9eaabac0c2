// Reading a finished 7z archive back through the 7-Zip library's reader in
// test mode: every entry is decoded (decrypted with the job's password) and
// its CRC checked by the library, which is what extracting it would do,
// without writing anything.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace kelvane::SevenZip {

struct SevenZipCheck {
  // Names are the entries' stored names as the system's bytes.
  std::function<void(const std::string& name)> entryGood;
  std::function<void(const std::string& name, const std::wstring& why)> entryBad;
  const std::atomic<bool>* stop = nullptr;  // set: end early
};

// Tests every entry of the archive in `archive` with the library at
// `libraryPath`. "" when the archive could be opened and read to its end
// (the verdicts went to `check`); otherwise what kept it from that.
std::wstring CheckWithSevenZip(const std::wstring& libraryPath,
                               std::unique_ptr<platform::FileStream> archive,
                               const std::wstring& password, const SevenZipCheck& check);

}  // namespace kelvane::SevenZip
