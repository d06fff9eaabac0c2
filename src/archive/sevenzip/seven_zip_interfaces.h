// The 7-Zip library's binary interface on Linux, as the library that Debian's
// p7zip-full ships (7-Zip 23 and later) expects it: COM-style objects whose
// interfaces are abstract structs with IUnknown's three methods first and NO
// virtual destructor (7-Zip before 23, "p7zip", had one; its vtables differ
// and calling it through these declarations would crash, which is why the
// module checks the interface type at load time).
//
// HRESULT is 32 bits (never `long`, which is 64 on Linux); wide strings are
// UTF-16 code units stored one per 4-byte wchar_t; a BSTR is a malloc block
// with a 32-bit byte-length prefix that the library frees itself.
//
// Written from the published interface facts; no 7-Zip source is used.
#pragma once

#include <cstdint>

namespace kelvane::SevenZip {

using HRESULT = int32_t;
using PROPID = uint32_t;
using VARTYPE = uint16_t;
using BSTR = wchar_t*;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

// An errno as the library's HRESULT (its private "errno facility" 0x800).
inline HRESULT HresultFromErrno(int error) {
  return error <= 0 ? error
                    : static_cast<HRESULT>(0x88000000u | (static_cast<uint32_t>(error) & 0xFFFF));
}

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}

// 7-Zip's interface ids: 23170F69-40C1-278A-0000-00gg00ss0000.
constexpr GUID SevenZipInterface(uint8_t group, uint8_t sub) {
  return GUID{0x23170F69, 0x40C1, 0x278A, {0, 0, 0, group, 0, sub, 0, 0}};
}

inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IProgress = SevenZipInterface(0x00, 0x05);
inline constexpr GUID IID_ISequentialInStream = SevenZipInterface(0x03, 0x01);
inline constexpr GUID IID_ISequentialOutStream = SevenZipInterface(0x03, 0x02);
inline constexpr GUID IID_IInStream = SevenZipInterface(0x03, 0x03);
inline constexpr GUID IID_IOutStream = SevenZipInterface(0x03, 0x04);
inline constexpr GUID IID_IStreamGetSize = SevenZipInterface(0x03, 0x06);
inline constexpr GUID IID_ICompressProgressInfo = SevenZipInterface(0x04, 0x04);
inline constexpr GUID IID_ICryptoGetTextPassword = SevenZipInterface(0x05, 0x10);
inline constexpr GUID IID_ICryptoGetTextPassword2 = SevenZipInterface(0x05, 0x11);
inline constexpr GUID IID_IArchiveOpenCallback = SevenZipInterface(0x06, 0x10);
inline constexpr GUID IID_IArchiveExtractCallback = SevenZipInterface(0x06, 0x20);
inline constexpr GUID IID_IInArchive = SevenZipInterface(0x06, 0x60);
inline constexpr GUID IID_ISetProperties = SevenZipInterface(0x06, 0x03);
inline constexpr GUID IID_IArchiveUpdateCallback = SevenZipInterface(0x06, 0x80);
inline constexpr GUID IID_IOutArchive = SevenZipInterface(0x06, 0xA0);

// The 7z format handler.
inline constexpr GUID CLSID_7zFormat = {
    0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_BSTR = 8,
  VT_BOOL = 11,
  VT_UI4 = 19,
  VT_UI8 = 21,
  VT_FILETIME = 64
};
inline constexpr int16_t VARIANT_TRUE = -1;
inline constexpr int16_t VARIANT_FALSE = 0;

struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};

struct PROPVARIANT {
  VARTYPE vt;
  uint16_t wReserved1, wReserved2, wReserved3;
  union {
    uint32_t ulVal;
    uint64_t uhVal;
    int16_t boolVal;
    FILETIME filetime;
    BSTR bstrVal;
  };
};
static_assert(sizeof(PROPVARIANT) == 16);

// Property ids the writer answers.
enum : PROPID {
  kpidPath = 3,
  kpidIsDir = 6,
  kpidSize = 7,
  kpidAttrib = 9,
  kpidCTime = 10,
  kpidATime = 11,
  kpidMTime = 12,
  kpidIsAnti = 21,
};

// Module properties (GetModuleProp).
enum : PROPID { kModuleInterfaceType = 0, kModuleVersion = 1 };

// Interfaces: no destructor in the vtable; the protected one only keeps
// anyone from deleting an object through an interface pointer.
struct IUnknown {
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct ISequentialInStream : IUnknown {
  virtual HRESULT Read(void* data, uint32_t size, uint32_t* processedSize) = 0;

 protected:
  ~ISequentialInStream() = default;
};

struct IInStream : ISequentialInStream {
  virtual HRESULT Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) = 0;

 protected:
  ~IInStream() = default;
};

struct IStreamGetSize : IUnknown {
  virtual HRESULT GetSize(uint64_t* size) = 0;

 protected:
  ~IStreamGetSize() = default;
};

struct ISequentialOutStream : IUnknown {
  virtual HRESULT Write(const void* data, uint32_t size, uint32_t* processedSize) = 0;

 protected:
  ~ISequentialOutStream() = default;
};

struct IOutStream : ISequentialOutStream {
  virtual HRESULT Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) = 0;
  virtual HRESULT SetSize(uint64_t newSize) = 0;

 protected:
  ~IOutStream() = default;
};

struct IProgress : IUnknown {
  virtual HRESULT SetTotal(uint64_t total) = 0;
  virtual HRESULT SetCompleted(const uint64_t* completed) = 0;

 protected:
  ~IProgress() = default;
};

struct IArchiveUpdateCallback : IProgress {
  virtual HRESULT GetUpdateItemInfo(uint32_t index, int32_t* newData, int32_t* newProperties,
                                    uint32_t* indexInArchive) = 0;
  virtual HRESULT GetProperty(uint32_t index, PROPID propId, PROPVARIANT* value) = 0;
  virtual HRESULT GetStream(uint32_t index, ISequentialInStream** inStream) = 0;
  virtual HRESULT SetOperationResult(int32_t operationResult) = 0;

 protected:
  ~IArchiveUpdateCallback() = default;
};

struct ICryptoGetTextPassword2 : IUnknown {
  virtual HRESULT CryptoGetTextPassword2(int32_t* passwordIsDefined, BSTR* password) = 0;

 protected:
  ~ICryptoGetTextPassword2() = default;
};

struct ICompressProgressInfo : IUnknown {
  virtual HRESULT SetRatioInfo(const uint64_t* inSize, const uint64_t* outSize) = 0;

 protected:
  ~ICompressProgressInfo() = default;
};

struct IOutArchive : IUnknown {
  virtual HRESULT UpdateItems(ISequentialOutStream* outStream, uint32_t numItems,
                              IArchiveUpdateCallback* updateCallback) = 0;
  virtual HRESULT GetFileTimeType(uint32_t* type) = 0;

 protected:
  ~IOutArchive() = default;
};

struct ISetProperties : IUnknown {
  virtual HRESULT SetProperties(const wchar_t* const* names, const PROPVARIANT* values,
                                uint32_t numProps) = 0;

 protected:
  ~ISetProperties() = default;
};

// Reading an archive back.
struct ICryptoGetTextPassword : IUnknown {
  virtual HRESULT CryptoGetTextPassword(BSTR* password) = 0;

 protected:
  ~ICryptoGetTextPassword() = default;
};

struct IArchiveOpenCallback : IUnknown {
  virtual HRESULT SetTotal(const uint64_t* files, const uint64_t* bytes) = 0;
  virtual HRESULT SetCompleted(const uint64_t* files, const uint64_t* bytes) = 0;

 protected:
  ~IArchiveOpenCallback() = default;
};

// askExtractMode: 0 extract, 1 test, 2 skip. Operation results: 0 OK,
// 1 unsupported method, 2 data error, 3 CRC error, 4 unavailable,
// 5 unexpected end, 6 data after end, 7 not an archive, 8 headers error,
// 9 wrong password.
struct IArchiveExtractCallback : IProgress {
  virtual HRESULT GetStream(uint32_t index, ISequentialOutStream** outStream,
                            int32_t askExtractMode) = 0;
  virtual HRESULT PrepareOperation(int32_t askExtractMode) = 0;
  virtual HRESULT SetOperationResult(int32_t operationResult) = 0;

 protected:
  ~IArchiveExtractCallback() = default;
};

struct IInArchive : IUnknown {
  virtual HRESULT Open(IInStream* stream, const uint64_t* maxCheckStartPosition,
                       IArchiveOpenCallback* openCallback) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT GetNumberOfItems(uint32_t* numItems) = 0;
  virtual HRESULT GetProperty(uint32_t index, PROPID propId, PROPVARIANT* value) = 0;
  virtual HRESULT Extract(const uint32_t* indices, uint32_t numItems, int32_t testMode,
                          IArchiveExtractCallback* extractCallback) = 0;
  virtual HRESULT GetArchiveProperty(PROPID propId, PROPVARIANT* value) = 0;
  virtual HRESULT GetNumberOfProperties(uint32_t* numProps) = 0;
  virtual HRESULT GetPropertyInfo(uint32_t index, BSTR* name, PROPID* propId, VARTYPE* varType) = 0;
  virtual HRESULT GetNumberOfArchiveProperties(uint32_t* numProps) = 0;
  virtual HRESULT GetArchivePropertyInfo(uint32_t index, BSTR* name, PROPID* propId,
                                         VARTYPE* varType) = 0;

 protected:
  ~IInArchive() = default;
};

// Exports of the library.
using CreateObjectFunction = HRESULT (*)(const GUID* clsid, const GUID* iid, void** outObject);
using GetModulePropFunction = HRESULT (*)(PROPID propId, PROPVARIANT* value);
using SysAllocStringLenFunction = BSTR (*)(const wchar_t* text, uint32_t length);
using VariantClearFunction = HRESULT (*)(PROPVARIANT* value);

}  // namespace kelvane::SevenZip
