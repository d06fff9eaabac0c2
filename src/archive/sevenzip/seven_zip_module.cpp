#include "archive/sevenzip/seven_zip_module.h"

#include <cstdlib>
#include <cstring>

#include "platform/text_codec.h"
#include "util/format_text.h"

namespace kelvane::SevenZip {
namespace {

// What GetModuleProp(kModuleInterfaceType) answers for a library whose
// interfaces have no virtual destructor, the layout declared in
// seven_zip_interfaces.h.
constexpr uint32_t kInterfaceWithoutDestructor = 0;

}  // namespace

std::wstring ToLibraryText(const std::wstring& text) {
  std::wstring mapped = text;
  for (wchar_t& c : mapped) {
    if (platform::IsEscapedByte(c)) c = static_cast<wchar_t>(0xEF00 + (c - 0xDC00));
  }
  const std::u16string units = platform::ToUtf16(mapped);
  return std::wstring(units.begin(), units.end());
}

void SevenZipModule::Load(const std::wstring& path) {
  Free();
  if (const platform::Status loaded = library_.Load(path); !loaded.ok()) {
    throw SevenZipException(FormatText(L"%s: GetLastError = %s", L"LoadLibrary", loaded.context()));
  }
  createObject_ = reinterpret_cast<CreateObjectFunction>(library_.Symbol("CreateObject"));
  if (!createObject_) {
    Free();
    throw SevenZipException(L"Loaded library is missing required CreateObject function");
  }
  const auto getModuleProp =
      reinterpret_cast<GetModulePropFunction>(library_.Symbol("GetModuleProp"));
  allocString_ = reinterpret_cast<SysAllocStringLenFunction>(library_.Symbol("SysAllocStringLen"));
  variantClear_ = reinterpret_cast<VariantClearFunction>(library_.Symbol("VariantClear"));
  PROPVARIANT type{};
  const bool ourLayout = getModuleProp && getModuleProp(kModuleInterfaceType, &type) == S_OK &&
                         type.vt == VT_UI4 && type.ulVal == kInterfaceWithoutDestructor;
  if (!ourLayout) {
    Free();
    throw SevenZipException(
        FormatText(L"%s is a 7-Zip library of another interface layout (p7zip, or 7-Zip before "
                   L"23); install 7-Zip 23 or later (Debian: p7zip-full)",
                   path));
  }
}

std::wstring SevenZipLibraryProblem(const std::wstring& path) {
  try {
    SevenZipModule module;
    module.Load(path);
    return std::wstring();
  } catch (const SevenZipException& e) {
    return e.message();
  }
}

void SevenZipModule::Free() {
  library_.Unload();
  createObject_ = nullptr;
  allocString_ = nullptr;
  variantClear_ = nullptr;
}

void SevenZipModule::CreateObject(const GUID& classId, const GUID& interfaceId, void** out) const {
  if (!createObject_) throw SevenZipException(L"Library is not loaded");
  const HRESULT result = createObject_(&classId, &interfaceId, out);
  if (result < 0) {
    throw SevenZipException(
        FormatText(L"%s: HRESULT = 0x%08X", L"CreateObject", static_cast<uint32_t>(result)));
  }
}

BSTR SevenZipModule::AllocString(const std::wstring& units) const {
  if (allocString_) return allocString_(units.c_str(), static_cast<uint32_t>(units.size()));
  // The library's own layout: a 32-bit byte count, the characters, a zero.
  auto* block = static_cast<char*>(std::malloc(4 + (units.size() + 1) * sizeof(wchar_t)));
  if (!block) return nullptr;
  const auto bytes = static_cast<uint32_t>(units.size() * sizeof(wchar_t));
  std::memcpy(block, &bytes, 4);
  auto* text = reinterpret_cast<wchar_t*>(block + 4);
  std::memcpy(text, units.c_str(), (units.size() + 1) * sizeof(wchar_t));
  return text;
}

void SevenZipModule::ClearVariant(PROPVARIANT* value) const {
  if (variantClear_) {
    variantClear_(value);
  } else if (value->vt == VT_BSTR && value->bstrVal) {
    std::free(reinterpret_cast<char*>(value->bstrVal) - 4);
  }
  value->vt = VT_EMPTY;
}

}  // namespace kelvane::SevenZip
