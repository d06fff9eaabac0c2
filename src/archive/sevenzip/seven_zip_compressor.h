// The 7z writer: packs a list of files into one new 7z archive through the
// 7-Zip library, with AES-256 when a password is given (file names stay
// readable). The only entry point for the run is PackWithSevenZip.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/sevenzip/seven_zip_module.h"
#include "archive/sevenzip/seven_zip_records.h"
#include "platform/file_system.h"

namespace kelvane::SevenZip {

class SevenZipCompressorEx {
 public:
  // Writes into `archive`, a new empty file opened for reading and writing;
  // `archivePath` names it in messages.
  SevenZipCompressorEx(const SevenZipModule& module, std::unique_ptr<platform::FileStream> archive,
                       std::wstring archivePath, uint32_t compressionLevel,
                       SevenZipUIUpdate* record);
  // Writes the archive; throws SevenZipException on any failure. A partial
  // archive file may be left; the caller removes it.
  void WriteArchive(const std::vector<intl::FilePathInfoEx>& files);

 private:
  void ApplyCompressionLevel(IOutArchive* archive) const;

  const SevenZipModule& module_;
  std::unique_ptr<platform::FileStream> archive_;
  std::wstring archivePath_;
  uint32_t compressionLevel_;
  SevenZipUIUpdate* record_;
};

// Loads the library at `libraryPath`, writes the archive into `archive` (a new
// empty file, named `archivePath` in messages) from `files` and unloads the
// library. Returns 0, or 1627 with the failure in the record's errorText.
uint32_t PackWithSevenZip(SevenZipUIUpdate* record, const std::wstring& libraryPath,
                          const std::wstring& archivePath,
                          std::unique_ptr<platform::FileStream> archive,
                          const std::vector<intl::FilePathInfoEx>& files);

// The library to load: `preferred` when given, else the first of the places
// Debian's packages put it (/usr/lib/p7zip/7z.so, /usr/lib/7zip/7z.so) that
// exists, else the first of them (its failure then names it).
std::wstring FindSevenZipLibrary(const std::wstring& preferred);

}  // namespace kelvane::SevenZip
