// A shared library loaded at run time by its full path.
//
// Loaded with RTLD_NOW | RTLD_LOCAL: its symbols never leak into the program
// or into other libraries. One owner; unloaded on destruction.
#pragma once

#include <string>

#include "platform/status.h"

namespace kelvane::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { Unload(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the library at `path`; a failure carries the loader's reason.
  Status Load(const std::wstring& path);
  // The address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  void Unload();

 private:
  void* handle_ = nullptr;
};

}  // namespace kelvane::platform
