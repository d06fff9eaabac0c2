#include "platform/file_system.h"

#include <atomic>

namespace kelvane::platform {
namespace {
std::atomic<FileSystem*> current{nullptr};
}  // namespace

std::wstring TemporaryName(std::wstring_view stem, uint64_t process, uint64_t number) {
  return std::wstring(stem) + L".kvn-" + std::to_wstring(process) + L"-" + std::to_wstring(number) +
         L".tmp";
}

bool IsTemporaryName(std::wstring_view name, std::wstring_view stem) {
  constexpr std::wstring_view kMark = L".kvn-";
  constexpr std::wstring_view kEnd = L".tmp";
  if (!name.starts_with(stem)) return false;
  name.remove_prefix(stem.size());
  if (!name.starts_with(kMark) || !name.ends_with(kEnd)) return false;
  name = name.substr(kMark.size(), name.size() - kMark.size() - kEnd.size());
  // <process>-<number>, both decimal.
  const size_t dash = name.find(L'-');
  const auto digits = [](std::wstring_view part) {
    return !part.empty() && part.find_first_not_of(L"0123456789") == std::wstring_view::npos;
  };
  return dash != std::wstring_view::npos && digits(name.substr(0, dash)) &&
         digits(name.substr(dash + 1));
}

Status WriteWholeFile(const Folder& work, const std::wstring& stem, const Folder& folder,
                      const std::wstring& name, std::string_view bytes) {
  return WriteWholeFile(work, stem, folder, name, [bytes](FileStream& stream) {
    return stream.Write(bytes.data(), bytes.size());
  });
}

Status WriteWholeFile(const Folder& work, const std::wstring& stem, const Folder& folder,
                      const std::wstring& name, const std::function<int(FileStream&)>& write) {
  FileSystem& fs = Fs();
  std::wstring temporary;
  std::unique_ptr<FileStream> stream;
  if (Status made = fs.CreateTemporary(work, stem, &temporary, &stream); !made.ok()) return made;
  int error = write(*stream);
  if (error == 0) error = stream->Sync();
  if (const int closed = stream->Close(); error == 0) error = closed;
  Status written = error != 0 ? Status::Error(error, work.path() + temporary)
                              : fs.Rename(work, temporary, folder, name);
  // The write's error is the one said; a temporary that stays goes with the
  // next run's sweep.
  if (!written.ok()) static_cast<void>(fs.RemoveFile(work, temporary));
  return written;
}

FileSystem& Fs() {
  FileSystem* fs = current.load(std::memory_order_acquire);
  return fs ? *fs : RealFileSystem();
}

ScopedFileSystem::ScopedFileSystem(FileSystem* fs)
    : previous_(current.exchange(fs, std::memory_order_acq_rel)) {}

ScopedFileSystem::~ScopedFileSystem() { current.store(previous_, std::memory_order_release); }

}  // namespace kelvane::platform
