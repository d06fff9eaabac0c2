#include "json/json_document.h"

#include <new>

#include "json/json_parser.h"
#include "json/json_printer.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "util/buffered_file.h"
#include "util/format_text.h"
#include "util/result_codes.h"

namespace kelvane {
namespace {

constexpr size_t kMaxErrorTextBytes = 259;

}  // namespace

JsonDocument::JsonDocument() = default;
JsonDocument::~JsonDocument() = default;

void JsonDocument::Clear() { root_.reset(); }

JsonNode* JsonDocument::Append(JsonNode* parent, std::string_view key, JsonKind kind) {
  auto node = std::unique_ptr<JsonNode>(new (std::nothrow) JsonNode());
  if (!node) return nullptr;
  node->kind = kind;
  if (!parent) {
    if (root_) return nullptr;
    root_ = std::move(node);
    return root_.get();
  }
  node->parent = parent;
  if (parent->kind == JsonKind::kObject) {
    node->key = std::string(key);
    node->hasKey = true;
  }
  parent->children.push_back(std::move(node));
  return parent->children.back().get();
}

JsonNode* JsonDocument::AddArray(JsonNode* parent, std::string_view key) {
  return Append(parent, key, JsonKind::kArray);
}

JsonNode* JsonDocument::AddObject(JsonNode* parent, std::string_view key) {
  return Append(parent, key, JsonKind::kObject);
}

JsonNode* JsonDocument::AddString(JsonNode* parent, std::string_view key, std::wstring_view value) {
  JsonNode* node = Append(parent, key, JsonKind::kString);
  if (node) node->stringValue = platform::ToNative(value);
  return node;
}

JsonNode* JsonDocument::AddBool(JsonNode* parent, std::string_view key, bool value) {
  JsonNode* node = Append(parent, key, JsonKind::kBool);
  if (node) node->intValue = value ? 1 : 0;
  return node;
}

JsonNode* JsonDocument::AddNumber(JsonNode* parent, std::string_view key, uint32_t value) {
  return AddNumber(parent, key, static_cast<double>(value));
}

JsonNode* JsonDocument::AddNumber(JsonNode* parent, std::string_view key, double value) {
  JsonNode* node = Append(parent, key, JsonKind::kNumber);
  if (node) {
    node->numberValue = value;
    node->intValue = value >= 2147483647.0    ? 2147483647
                     : value <= -2147483648.0 ? -2147483647 - 1
                     : value != value         ? 0
                                              : static_cast<int32_t>(value);
  }
  return node;
}

const JsonNode* JsonDocument::Find(const JsonNode* node, std::string_view key) const {
  if (!node) node = root_.get();
  if (!node || key.empty()) return nullptr;
  for (const auto& child : node->children) {
    if (child->hasKey && child->key == key) return child.get();
  }
  return nullptr;
}

bool JsonDocument::GetInt(const JsonNode* node, std::string_view key, int32_t* value) const {
  const JsonNode* member = Find(node, key);
  if (!member) return false;
  *value = member->kind == JsonKind::kNumber ? member->intValue : 0;
  return true;
}

bool JsonDocument::GetText(const JsonNode* node, std::string_view key, std::wstring* value) const {
  const JsonNode* member = Find(node, key);
  if (!member || member->kind != JsonKind::kString) return false;
  *value = platform::FromNative(member->stringValue);
  return true;
}

std::wstring JsonDocument::ValueText(const JsonNode* node) {
  if (!node) return {};
  switch (node->kind) {
    case JsonKind::kBool: return node->intValue ? L"true" : L"false";
    case JsonKind::kNumber: return platform::FromNative(PrintJsonNumber(node->numberValue));
    case JsonKind::kString: return platform::FromNative(node->stringValue);
    default: return {};
  }
}

platform::Status JsonDocument::Parse(std::string_view text) {
  Clear();
  errorOffset_ = 0;
  auto fail = [](uint32_t code, std::wstring why) {
    return platform::Status::Error(static_cast<int>(code), std::move(why));
  };
  if (text.empty()) return fail(kResultInvalidData, L"");
  auto root = std::unique_ptr<JsonNode>(new (std::nothrow) JsonNode());
  if (!root) return fail(kResultOutOfMemory, L"");
  const json_internal::ParseOutcome outcome = json_internal::ParseValueInto(text, root.get());
  if (outcome.code == 0) {
    root_ = std::move(root);
    return {};
  }
  errorOffset_ = outcome.offset;
  if (outcome.code == kResultTooManyLevels) return fail(outcome.code, L"Too many levels.");
  std::wstring rest;
  if (errorOffset_ != 0) {
    size_t end = std::min(text.size(), errorOffset_ + kMaxErrorTextBytes);
    // Do not cut a multi-byte character in two.
    while (end > errorOffset_ && end < text.size() && (text[end] & 0xC0) == 0x80) --end;
    rest = platform::FromNative(text.substr(errorOffset_, end - errorOffset_));
  }
  return fail(outcome.code, rest);
}

platform::Status JsonDocument::LoadFile(const std::wstring& path) {
  Clear();
  errorOffset_ = 0;
  std::unique_ptr<platform::FileStream> file;
  if (const int opened =
          platform::Fs().OpenStream(path, platform::FileStream::kReadExisting, &file).code();
      opened != 0) {
    return platform::Status::Error(opened, FormatText(L"Open file failed, code: %ld.", opened));
  }
  platform::FileStatus status;
  int failure = file->Status(&status);
  const uint64_t size = status.size;
  if (failure == 0 && size == 0) return platform::Status::Error(kResultEmptyFile, L"");

  std::string text;
  if (failure == 0) {
    try {
      text.resize(size);
    } catch (const std::exception&) {
      return platform::Status::Error(
          kResultOutOfMemory,
          FormatText(L"Alloc file buffer failed, code: %ld.", kResultOutOfMemory));
    }
    size_t filled = 0;
    while (filled < text.size()) {
      size_t got = 0;
      failure = file->Read(text.data() + filled, text.size() - filled, &got);
      if (failure != 0 || got == 0) break;
      filled += got;
    }
    text.resize(filled);
  }
  // A file that cannot be read is data the program cannot use, said with why.
  if (failure != 0) {
    return platform::Status::Error(kResultInvalidData,
                                   FormatText(L"Read file failed, code: %ld.", failure));
  }
  return Parse(text);
}

platform::Status JsonDocument::SaveFile(const std::wstring& path) {
  if (!root_) return platform::Status::Error(kResultNothingToSave, L"Nothing to save.");
  std::wstring temporary;
  std::unique_ptr<platform::FileStream> file;
  int failure = platform::Fs().CreateReplacement(path, &temporary, &file).code();
  if (failure == 0) {
    BufferedFile out;
    out.Open(std::move(file));
    json_internal::PrintNode(*root_, [&out](std::string_view bytes) { out.Write(bytes); });
    out.Sync();
    failure = out.Close();
    // The write's error is the one reported; the temporary is only clutter.
    if (failure != 0) static_cast<void>(platform::Fs().Remove(temporary));
  }
  if (failure != 0) {
    return platform::Status::Error(failure, FormatText(L"Save file failed, code: %ld.", failure));
  }
  if (const int replaced = platform::Fs().Replace(temporary, path).code(); replaced != 0) {
    static_cast<void>(platform::Fs().Remove(temporary));
    return platform::Status::Error(replaced,
                                   FormatText(L"Replace file failed, code: %ld.", replaced));
  }
  return {};
}

std::string JsonDocument::Print() const {
  std::string text;
  if (root_) json_internal::PrintNode(*root_, [&text](std::string_view bytes) { text += bytes; });
  return text;
}

}  // namespace kelvane
