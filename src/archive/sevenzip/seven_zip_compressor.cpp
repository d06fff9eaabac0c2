#include "archive/sevenzip/seven_zip_compressor.h"

#include <cerrno>
#include <exception>

#include "archive/sevenzip/archive_update_callback.h"
#include "archive/sevenzip/com_object.h"
#include "archive/sevenzip/stream_wrappers.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "platform/text_codec.h"
#include "util/format_text.h"
#include "util/result_codes.h"

namespace kelvane::SevenZip {
namespace {

// What went wrong, in words: the library passes on the errno values of our
// streams (a full disk says "No space left on device"), and a few codes of
// its own mean something to a user. No number of the library's reaches them.
std::wstring HresultText(const wchar_t* step, HRESULT result) {
  const auto code = static_cast<uint32_t>(result);
  std::wstring reason;
  if ((code & 0xFFFF0000u) == 0x88000000u) {
    reason = platform::SystemErrorMessage(static_cast<int>(code & 0xFFFF));
  } else if (code == 0x8007000Eu) {
    reason = platform::SystemErrorMessage(ENOMEM);
  } else if (code == 0x80004004u) {
    reason = L"cancelled";
  } else if (code == 0x80004001u) {
    reason = L"not supported by this 7-Zip library";
  } else {
    reason = L"the 7-Zip library failed";
  }
  return FormatText(L"%s: %s", step, reason);
}

}  // namespace

SevenZipCompressorEx::SevenZipCompressorEx(const SevenZipModule& module,
                                           std::unique_ptr<platform::FileStream> archive,
                                           std::wstring archivePath, uint32_t compressionLevel,
                                           SevenZipUIUpdate* record)
    : module_(module),
      archive_(std::move(archive)),
      archivePath_(std::move(archivePath)),
      compressionLevel_(compressionLevel),
      record_(record) {}

void SevenZipCompressorEx::ApplyCompressionLevel(IOutArchive* archive) const {
  ComPtr<ISetProperties> properties;
  if (archive->QueryInterface(IID_ISetProperties, properties.Out()) != S_OK || !properties) {
    throw SevenZipException(L"Archive does not support setting compression properties");
  }
  const wchar_t* names[] = {L"x"};
  PROPVARIANT values[1]{};
  values[0].vt = VT_UI4;
  values[0].ulVal = compressionLevel_;
  const HRESULT result = properties->SetProperties(names, values, 1);
  if (result != S_OK)
    throw SevenZipException(HresultText(L"Setting compression properties", result));
}

void SevenZipCompressorEx::WriteArchive(const std::vector<intl::FilePathInfoEx>& files) {
  ComPtr<IOutArchive> archive;
  module_.CreateObject(CLSID_7zFormat, IID_IOutArchive, archive.Out());
  ApplyCompressionLevel(archive.get());

  if (!archive_) {
    throw SevenZipException(FormatText(L"Could not create archive \"%s\"", archivePath_));
  }
  auto* outStream = new intl::OutStreamWrapper(std::move(archive_));
  outStream->AddRef();
  ComPtr<IOutStream> out(outStream);
  auto* callbackObject = new intl::ArchiveUpdateCallbackEx(module_, files, record_);
  callbackObject->AddRef();
  ComPtr<IArchiveUpdateCallback> callback(callbackObject);

  const HRESULT result =
      archive->UpdateItems(out.get(), static_cast<uint32_t>(files.size()), callback.get());
  if (result != S_OK) throw SevenZipException(HresultText(L"Create archive", result));
  // The archive is only as good as its bytes on disk.
  if (const int error = outStream->Finish(); error != 0) {
    throw SevenZipException(FormatText(L"Could not write archive \"%s\": %s", archivePath_,
                                       platform::SystemErrorMessage(error)));
  }
}

uint32_t PackWithSevenZip(SevenZipUIUpdate* record, const std::wstring& libraryPath,
                          const std::wstring& archivePath,
                          std::unique_ptr<platform::FileStream> archive,
                          const std::vector<intl::FilePathInfoEx>& files) {
  try {
    SevenZipModule module;
    module.Load(libraryPath);
    {
      SevenZipCompressorEx compressor(module, std::move(archive), archivePath,
                                      record ? record->level : 9, record);
      compressor.WriteArchive(files);
    }
    return 0;
  } catch (const SevenZipException& e) {
    if (record) record->errorText = platform::ToUtf8(e.message());
  } catch (const std::exception& e) {
    if (record) record->errorText = e.what();
  }
  return kResultFunctionFailed;
}

std::wstring FindSevenZipLibrary(const std::wstring& preferred) {
  if (!preferred.empty()) return preferred;
  static const wchar_t* const kPlaces[] = {L"/usr/lib/p7zip/7z.so", L"/usr/lib/7zip/7z.so"};
  for (const wchar_t* place : kPlaces) {
    if (platform::Fs().Exists(place)) return place;
  }
  return kPlaces[0];
}

}  // namespace kelvane::SevenZip
