#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <cerrno>

#include "platform/text_codec.h"

namespace kelvane::platform {

Status DynamicLibrary::Load(const std::wstring& path) {
  Unload();
  ::dlerror();
  handle_ = ::dlopen(ToNative(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_) return {};
  const char* reason = ::dlerror();
  return Status::Error(ELIBACC, FromNative(reason ? reason : "unknown error"));
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? ::dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Unload() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace kelvane::platform
