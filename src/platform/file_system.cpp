#include "platform/file_system.h"

#include <atomic>

namespace kelvane::platform {
namespace {
std::atomic<FileSystem*> current{nullptr};
}  // namespace

FileSystem& Fs() {
  FileSystem* fs = current.load(std::memory_order_acquire);
  return fs ? *fs : RealFileSystem();
}

ScopedFileSystem::ScopedFileSystem(FileSystem* fs)
    : previous_(current.exchange(fs, std::memory_order_acq_rel)) {}

ScopedFileSystem::~ScopedFileSystem() { current.store(previous_, std::memory_order_release); }

}  // namespace kelvane::platform
