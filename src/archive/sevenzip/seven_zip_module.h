// The 7-Zip library, loaded from the path the user chose, checked to speak
// the interface this program was built for, and its few exports.
#pragma once

#include <string>

#include "archive/sevenzip/seven_zip_interfaces.h"
#include "platform/dynamic_library.h"

namespace kelvane::SevenZip {

// The writer's failure: a message for the user. Thrown by value, caught by
// reference; deliberately not a std::exception (the run tells them apart).
class SevenZipException {
 public:
  explicit SevenZipException(std::wstring message) : message_(std::move(message)) {}
  virtual ~SevenZipException() = default;
  const std::wstring& message() const { return message_; }

 private:
  std::wstring message_;
};

class SevenZipModule {
 public:
  SevenZipModule() = default;
  ~SevenZipModule() { Free(); }
  SevenZipModule(const SevenZipModule&) = delete;
  SevenZipModule& operator=(const SevenZipModule&) = delete;

  // Loads the library at `path`. Throws SevenZipException when it cannot be
  // loaded, lacks CreateObject, or speaks another interface layout (p7zip
  // and 7-Zip before 23 add a destructor to every interface; calling them
  // through ours would crash).
  void Load(const std::wstring& path);
  void Free();

  // Creates a library object; throws on a failure.
  void CreateObject(const GUID& classId, const GUID& interfaceId, void** out) const;

  // A BSTR the library can free: UTF-16 units of `text`, one per wchar_t.
  BSTR AllocString(const std::wstring& units) const;
  // Frees what the library put into a PROPVARIANT.
  void ClearVariant(PROPVARIANT* value) const;

 private:
  platform::DynamicLibrary library_;
  CreateObjectFunction createObject_ = nullptr;
  SysAllocStringLenFunction allocString_ = nullptr;
  VariantClearFunction variantClear_ = nullptr;
};

// Why the library at `path` cannot serve this program; empty when it can
// (loaded, checked and released again).
std::wstring SevenZipLibraryProblem(const std::wstring& path);

// Text in the library's form: UTF-16 code units, one per wchar_t (characters
// above U+FFFF as surrogate pairs). A byte of a name that is not UTF-8 goes as
// U+EF00 + byte, which is how the 7z tool itself writes such names on Linux.
std::wstring ToLibraryText(const std::wstring& text);

}  // namespace kelvane::SevenZip
