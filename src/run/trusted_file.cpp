#include "run/trusted_file.h"

#include "platform/environment.h"
#include "util/error_text.h"

namespace kelvane {

platform::Status OpenTrustedFile(const platform::Folder& folder,
                                 const std::vector<platform::DirectoryEntry>& entries,
                                 const std::wstring& name,
                                 std::unique_ptr<platform::FileStream>* stream) {
  auto refuse = [](std::wstring why) { return platform::Status::Error(EACCES, std::move(why)); };
  const platform::DirectoryEntry* file = nullptr;
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.name == name) file = &entry;
  }
  if (!file) return platform::Status::Error(ENOENT, L"not found");
  constexpr uint32_t kNotPlain =
      platform::kAttributeReparsePoint | platform::kAttributeDevice | platform::kAttributeDirectory;
  if (file->error != 0 || (file->attributes & kNotPlain) != 0) {
    return refuse(L"is not a plain file");
  }
  platform::DirectoryEntry own;
  if (!platform::Fs().DescribeFolder(folder, &own).ok() || !platform::OnlyTrustedCanWrite(own)) {
    return refuse(L"lies in a folder other users may write to");
  }
  if (!platform::OnlyTrustedCanWrite(*file))
    return refuse(L"may have been written by another user");
  const uint64_t memory = platform::PhysicalMemoryBytes();
  if (memory != 0 && file->size > memory / 4) {
    return platform::Status::Error(ENOMEM, L"is larger than this machine can read");
  }
  if (const int error = platform::Fs().OpenFile(folder, name, file->id, stream).code();
      error != 0) {
    return platform::Status::Error(error,
                                   L"cannot be read." + ErrorText(static_cast<uint32_t>(error)));
  }
  return {};
}

platform::Status ReadEachLine(platform::FileStream& stream, size_t longest,
                              const std::function<platform::Status(std::string_view)>& line,
                              int* readError) {
  auto damaged = [](const wchar_t* why) { return platform::Status::Error(EINVAL, why); };
  std::string pending;
  char buffer[1 << 16];
  for (;;) {
    size_t got = 0;
    if ((*readError = stream.Read(buffer, sizeof buffer, &got)) != 0) {
      return platform::Status::Error(
          *readError, L"cannot be read." + ErrorText(static_cast<uint32_t>(*readError)));
    }
    if (got == 0) break;
    for (std::string_view rest(buffer, got); !rest.empty();) {
      const size_t end = rest.find('\n');
      pending.append(rest.substr(0, end));
      if (pending.size() > longest) return damaged(L"a line longer than any it writes");
      if (end == std::string_view::npos) break;
      if (platform::Status done = line(pending); !done.ok()) return done;
      pending.clear();
      rest.remove_prefix(end + 1);
    }
  }
  if (!pending.empty()) return damaged(L"cut off");
  return {};
}

}  // namespace kelvane
