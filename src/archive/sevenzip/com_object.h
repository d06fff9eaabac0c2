// Helpers for the COM-style objects exchanged with the 7-Zip library.
#pragma once

#include <atomic>
#include <cstdint>

#include "archive/sevenzip/seven_zip_interfaces.h"

namespace kelvane::SevenZip {

// Holds one reference to a library object and releases it at the end.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* object) : object_(object) {}
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      object_ = other.object_;
      other.object_ = nullptr;
    }
    return *this;
  }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Where a creating call puts a new object (with its reference).
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&object_);
  }
  void Reset() {
    if (object_) object_->Release();
    object_ = nullptr;
  }

 private:
  T* object_ = nullptr;
};

// A reference count shared by the threads of the library: it calls AddRef and
// Release from its worker threads.
class RefCount {
 public:
  uint32_t Up() { return ++count_; }
  uint32_t Down() { return --count_; }

 private:
  std::atomic<uint32_t> count_{0};
};

}  // namespace kelvane::SevenZip
