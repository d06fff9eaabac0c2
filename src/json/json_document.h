// The program's JSON tree: job files and the language configuration are read
// through it, job files and the preferences are written through it.
//
// Text inside the tree is UTF-8 (the native byte form, so a file name that is
// not valid UTF-8 is stored with its own bytes and read back unchanged); the
// program's wide text is converted at the document's edges.
//
// A failure is a status with a result number and a short English text
// (LoadFile, Parse, SaveFile). A failed parse leaves the document empty; a failed save leaves the
// target file untouched, because the new text reaches it only by the final rename.
//
// Not thread-safe; one owner at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace kelvane {

enum class JsonKind : uint8_t {
  kArray = 1,
  kObject = 2,
  kNumber = 3,
  kString = 4,
  kBool = 5,
  kNull = 6
};

struct JsonNode {
  JsonNode* parent = nullptr;
  std::vector<std::unique_ptr<JsonNode>> children;
  std::string stringValue;  // UTF-8
  std::string key;          // UTF-8; meaningful when hasKey (members of an object)
  bool hasKey = false;
  int32_t intValue = 0;  // numbers: truncated and clamped; bools: 1 or 0
  double numberValue = 0;
  JsonKind kind = JsonKind::kString;
};

// Deepest nesting of arrays and objects the parser accepts.
inline constexpr int kJsonMaxDepth = 1200;

class JsonDocument {
 public:
  JsonDocument();
  ~JsonDocument();
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // Building. Each appends a node after the last child of `parent` (an object
  // member gets `key`, an array element none) and returns it. With no parent the
  // node becomes the root; a document has one root, so a second one is refused
  // (null).
  JsonNode* AddArray(JsonNode* parent, std::string_view key = {});
  JsonNode* AddObject(JsonNode* parent, std::string_view key = {});
  JsonNode* AddString(JsonNode* parent, std::string_view key, std::wstring_view value);
  JsonNode* AddBool(JsonNode* parent, std::string_view key, bool value);
  JsonNode* AddNumber(JsonNode* parent, std::string_view key, uint32_t value);
  JsonNode* AddNumber(JsonNode* parent, std::string_view key, double value);

  // Deletes the whole tree.
  void Clear();
  bool empty() const { return root_ == nullptr; }
  const JsonNode* root() const { return root_.get(); }

  // Reading. A null `node` means the root. Find returns the first member of
  // `node` whose key equals `key` byte for byte; an empty key finds nothing.
  const JsonNode* Find(const JsonNode* node, std::string_view key) const;
  // False when the member is missing; a member that is not a number gives 0.
  bool GetInt(const JsonNode* node, std::string_view key, int32_t* value) const;
  // False unless the member exists and is a string.
  bool GetText(const JsonNode* node, std::string_view key, std::wstring* value) const;
  // A value as text: strings as they are, numbers printed, "true"/"false", and
  // the empty text for null, arrays and objects.
  static std::wstring ValueText(const JsonNode* node);

  // Where the last parse stopped: the byte of the first fault.
  size_t errorOffset() const { return errorOffset_; }

  // Files and text. A failure's code is a result number (util/result_codes.h:
  // kResultInvalidData for text that is not JSON, kResultEmptyFile, ...) or
  // an errno value of a file call; its context is a short English text: for
  // bad JSON the text from where the parse stopped, for a file call what
  // failed ("Read file failed, code: 5.").
  platform::Status LoadFile(const std::wstring& path);
  platform::Status Parse(std::string_view text);
  // Writes the printed tree to "<path>.tmp", syncs it and renames it over `path`.
  platform::Status SaveFile(const std::wstring& path);

  // The tree in the indented form the program writes (empty when there is none).
  std::string Print() const;

 private:
  JsonNode* Append(JsonNode* parent, std::string_view key, JsonKind kind);

  std::unique_ptr<JsonNode> root_;
  size_t errorOffset_ = 0;
};

// Number printing shared by the printer and ValueText: "%1.15g" when that reads
// back to the same value, else "%1.17g"; "null" for infinities and NaN.
std::string PrintJsonNumber(double value);

}  // namespace kelvane
