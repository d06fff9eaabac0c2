#include "scan/change_catalog.h"

#include <cerrno>
#include <charconv>

#include "platform/text_codec.h"
#include "scan/scan_context.h"

namespace kelvane {
namespace {

constexpr std::string_view kHeader = "kelvane change catalog 1";

void AppendEscaped(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || b == '\\') {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes of an escaped field; false when it is not in the form written.
bool Unescape(std::string_view field, std::string* out) {
  out->clear();
  for (size_t i = 0; i < field.size(); ++i) {
    const auto b = static_cast<unsigned char>(field[i]);
    if (b < 0x20 || b == 0x7F) return false;
    if (b != '\\') {
      out->push_back(field[i]);
      continue;
    }
    if (field.size() - i < 4 || field[i + 1] != 'x') return false;
    const int high = HexValue(field[i + 2]);
    const int low = HexValue(field[i + 3]);
    if (high < 0 || low < 0) return false;
    out->push_back(static_cast<char>(high * 16 + low));
    i += 3;
  }
  return true;
}

bool ReadNumber(std::string_view field, uint64_t* value) {
  if (field.empty() || (field.size() > 1 && field[0] == '0')) return false;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), *value);
  return error == std::errc() && end == field.data() + field.size();
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace

FileIdentity IdentityOf(const ScannedFile& file) {
  return FileIdentity{file.id, file.size, file.lastWriteTime, file.changeTime};
}

FileIdentity IdentityOf(const platform::DirectoryEntry& entry) {
  return FileIdentity{entry.id, entry.size, entry.lastWriteTime, entry.changeTime};
}

void ChangeCatalog::BeginParse() {
  targets_.clear();
  entries_.clear();
  parsedLines_ = 0;
  parsedFiles_ = 0;
  parseEnded_ = false;
}

platform::Status ChangeCatalog::Damaged(size_t line, const wchar_t* what) {
  targets_.clear();
  entries_.clear();
  return platform::Status::Error(EINVAL, L"line " + std::to_wstring(line) + L": " + what);
}

platform::Status ChangeCatalog::ParseLine(std::string_view line) {
  const size_t lineNumber = ++parsedLines_;
  if (parseEnded_) return Damaged(lineNumber, L"text after the end");
  if (lineNumber == 1) {
    if (line != kHeader) return Damaged(1, L"not a change catalog of this version");
    return {};
  }
  const std::vector<std::string_view> fields = SplitFields(line);
  std::string bytes;
  if (fields[0] == "target" && fields.size() == 2) {
    if (!Unescape(fields[1], &bytes)) return Damaged(lineNumber, L"bad target name");
    targets_.push_back(platform::FromNative(bytes));
  } else if (fields[0] == "file" && fields.size() == 8) {
    uint64_t n[6];
    for (int i = 0; i < 6; ++i) {
      if (!ReadNumber(fields[1 + i], &n[i])) return Damaged(lineNumber, L"bad number");
    }
    if (n[0] >= targets_.size()) return Damaged(lineNumber, L"no such target");
    if (!Unescape(fields[7], &bytes) || bytes.empty()) return Damaged(lineNumber, L"bad path");
    auto [entry, added] = entries_.try_emplace(bytes);
    if (!added) return Damaged(lineNumber, L"path listed twice");
    entry->second.target = static_cast<uint32_t>(n[0]);
    entry->second.identity = FileIdentity{{n[1], n[2]}, n[3], n[4], n[5]};
    ++parsedFiles_;
  } else if (fields[0] == "end" && fields.size() == 2) {
    uint64_t count = 0;
    if (!ReadNumber(fields[1], &count) || count != parsedFiles_) {
      return Damaged(lineNumber, L"wrong number of files");
    }
    parseEnded_ = true;
  } else {
    return Damaged(lineNumber, L"unknown record");
  }
  return {};
}

platform::Status ChangeCatalog::EndParse() {
  return parseEnded_ ? platform::Status() : Damaged(parsedLines_ + 1, L"cut off");
}

platform::Status ChangeCatalog::Parse(std::string_view text) {
  BeginParse();
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return Damaged(parsedLines_ + 1, L"cut off");
    if (platform::Status damage = ParseLine(text.substr(start, end - start)); !damage.ok()) {
      return damage;
    }
    start = end + 1;
  }
  return EndParse();
}

std::string ChangeCatalog::Text() const {
  std::string text;
  WriteText([&text](std::string_view piece) {
    text += piece;
    return true;
  });
  return text;
}

namespace {

void AppendFileLine(std::string& out, uint32_t target, const FileIdentity& id,
                    std::string_view path) {
  out += "file";
  for (const uint64_t field :
       {uint64_t{target}, id.id.device, id.id.inode, id.size, id.lastWriteTime, id.changeTime}) {
    out += '\t';
    out += std::to_string(field);
  }
  out += '\t';
  AppendEscaped(out, path);
  out += '\n';
}

}  // namespace

void ChangeCatalog::WriteText(const TextWriter& write) const {
  WriteLines(
      write, [](const FileVisit&) {}, 0, 0);
}

void ChangeCatalog::WriteTextWith(const SavedFiles& saved, const std::wstring& target,
                                  const TextWriter& write) {
  uint64_t count = 0;
  std::string key;
  saved([&](std::string_view path, const FileIdentity&) {
    ++count;
    if (entries_.empty()) return;
    key.assign(path);
    entries_.erase(key);
  });
  WriteLines(write, saved, count, count != 0 ? TargetIndex(target) : 0);
}

void ChangeCatalog::WriteLines(const TextWriter& write, const SavedFiles& saved, uint64_t count,
                               uint32_t target) const {
  constexpr size_t kPiece = size_t{1} << 20;
  std::string out(kHeader);
  out += '\n';
  for (const std::wstring& name : targets_) {
    out += "target\t";
    AppendEscaped(out, platform::ToNative(name));
    out += '\n';
  }
  bool writing = true;
  auto flush = [&] {
    if (writing && out.size() >= kPiece) {
      writing = write(out);
      out.clear();
    }
  };
  for (const auto& [path, entry] : entries_) {
    if (!writing) return;
    AppendFileLine(out, entry.target, entry.identity, path);
    flush();
  }
  saved([&](std::string_view path, const FileIdentity& identity) {
    if (!writing) return;
    AppendFileLine(out, target, identity, path);
    flush();
  });
  if (!writing) return;
  out += "end\t" + std::to_string(entries_.size() + count) + '\n';
  write(out);
}

std::vector<std::wstring> ChangeCatalog::DropTargets(
    const std::function<bool(const std::wstring&)>& keep) {
  std::vector<uint32_t> renumbered(targets_.size());
  std::vector<std::wstring> kept;
  std::vector<bool> dropped(targets_.size());
  for (size_t i = 0; i < targets_.size(); ++i) {
    dropped[i] = !keep(targets_[i]);
    if (!dropped[i]) {
      renumbered[i] = static_cast<uint32_t>(kept.size());
      kept.push_back(targets_[i]);
    }
  }
  std::vector<bool> held(targets_.size());
  for (auto it = entries_.begin(); it != entries_.end();) {
    const uint32_t target = it->second.target;
    if (dropped[target]) {
      held[target] = true;
      it = entries_.erase(it);
    } else {
      it->second.target = renumbered[target];
      ++it;
    }
  }
  std::vector<std::wstring> gone;
  for (size_t i = 0; i < targets_.size(); ++i) {
    if (held[i]) gone.push_back(targets_[i]);
  }
  targets_ = std::move(kept);
  return gone;
}

bool ChangeCatalog::IsUnchanged(const std::string& path, const FileIdentity& identity) const {
  const auto found = entries_.find(path);
  if (found == entries_.end() || !(found->second.identity == identity)) return false;
  found->second.confirmed.store(true, std::memory_order_relaxed);
  return true;
}

void ChangeCatalog::KeepConfirmed() {
  std::erase_if(entries_, [](const auto& item) {
    return !item.second.confirmed.load(std::memory_order_relaxed);
  });
}

void ChangeCatalog::ForEachConfirmed(
    const std::function<void(const std::string& path, const std::wstring& target)>& visit) const {
  for (const auto& [path, entry] : entries_) {
    if (entry.confirmed.load(std::memory_order_relaxed)) visit(path, targets_[entry.target]);
  }
}

uint32_t ChangeCatalog::TargetIndex(const std::wstring& target) {
  // A run records all its files under one target: found once, then reused.
  if (lastTarget_ < targets_.size() && targets_[lastTarget_] == target) return lastTarget_;
  lastTarget_ = 0;
  while (lastTarget_ < targets_.size() && targets_[lastTarget_] != target) ++lastTarget_;
  if (lastTarget_ == targets_.size()) targets_.push_back(target);
  return lastTarget_;
}

void ChangeCatalog::Record(std::string path, const FileIdentity& identity,
                           const std::wstring& target) {
  const uint32_t index = TargetIndex(target);
  Entry& entry = entries_[std::move(path)];
  entry.identity = identity;
  entry.target = index;
  entry.confirmed.store(true, std::memory_order_relaxed);
}

}  // namespace kelvane
