#include "platform/folder.h"

#include <unistd.h>

#include <utility>

namespace kelvane::platform {

Folder::Folder(int handle, std::wstring path, FileId id)
    : handle_(handle), path_(std::move(path)), id_(id) {}

Folder::~Folder() { Close(); }

Folder::Folder(Folder&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)), id_(other.id_) {}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    path_ = std::move(other.path_);
    id_ = other.id_;
  }
  return *this;
}

void Folder::Close() {
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
}

}  // namespace kelvane::platform
