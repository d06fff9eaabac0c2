// Reading a finished ZIP archive back: every entry's local header is compared
// with its directory record, its data decrypted (with the password it was
// written with), inflated, and its CRC-32 and size compared with the record
// (zip_reader.h reads the structure, ZIP64 included). What the check proves
// is what a user extracting the archive gets.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace kelvane {

struct ZipCheck {
  // Called for every entry read back whole and correct, with its name's bytes.
  std::function<void(const std::string& name)> entryGood;
  // Called for every entry that is not, with why.
  std::function<void(const std::string& name, const std::wstring& why)> entryBad;
  // Set to stop early (the run was cancelled).
  const std::atomic<bool>* stop = nullptr;
};

// Reads the archive that `open` opens (once for each core, which share the
// entries between them; `check`'s callbacks come from all of them). Returns 0
// when its directory could be read (the entries' verdicts went to `check`),
// otherwise an errno value (EINVAL for a damaged archive), with `*why`
// saying what is wrong.
int ZipCheckArchive(const std::function<int(std::unique_ptr<platform::FileStream>*)>& open,
                    std::string_view password, const ZipCheck& check, std::wstring* why);

}  // namespace kelvane
