#include "json/json_parser.h"

#include <cmath>
#include <limits>

#include "platform/number_text.h"
#include "platform/text_codec.h"
#include "util/result_codes.h"

namespace kelvane::json_internal {
namespace {

bool IsNumberByte(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'e' || c == 'E' || c == '.';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int32_t IntegerValue(double v) {
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  if (std::isnan(v)) return 0;
  return static_cast<int32_t>(v);
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  ParseOutcome Run(JsonNode* root) {
    if (text_.size() > 4 && text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
    SkipSpace();
    if (ParseValue(root)) return {};
    // Report at most the last byte, as the position is shown to the user.
    const size_t offset = text_.empty() ? 0 : std::min(pos_, text_.size() - 1);
    return {tooDeep_ ? kResultTooManyLevels : kResultInvalidData, offset};
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  // Bytes 1..32 are white space; a NUL byte ends the text, as it always has.
  void SkipSpace() {
    while (!AtEnd() && text_[pos_] != '\0' && static_cast<unsigned char>(text_[pos_]) <= 32) ++pos_;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_).starts_with(word)) {
      pos_ += word.size();
      return true;
    }
    return false;
  }

  bool ParseValue(JsonNode* node) {
    if (Literal("null")) {
      node->kind = JsonKind::kNull;
      return true;
    }
    if (Literal("false")) {
      node->kind = JsonKind::kBool;
      node->intValue = 0;
      return true;
    }
    if (Literal("true")) {
      node->kind = JsonKind::kBool;
      node->intValue = 1;
      return true;
    }
    const char c = Peek();
    if (c == '"') return ParseString(&node->stringValue) && (node->kind = JsonKind::kString, true);
    if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber(node);
    if (c == '[') return ParseContainer(node, JsonKind::kArray);
    if (c == '{') return ParseContainer(node, JsonKind::kObject);
    return false;
  }

  bool ParseNumber(JsonNode* node) {
    size_t end = pos_;
    while (end < text_.size() && end - pos_ < 63 && IsNumberByte(text_[end])) ++end;
    double value = 0;
    const size_t used = platform::ParseDouble(text_.data() + pos_, text_.data() + end, &value);
    if (used == 0) return false;
    pos_ += used;
    node->kind = JsonKind::kNumber;
    node->numberValue = value;
    node->intValue = IntegerValue(value);
    return true;
  }

  // Reads four hexadecimal digits at pos_.
  bool Hex4(uint32_t* value) {
    if (pos_ + 4 > text_.size()) return false;
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k) {
      const int digit = HexValue(text_[pos_ + k]);
      if (digit < 0) return false;
      v = (v << 4) | static_cast<uint32_t>(digit);
    }
    pos_ += 4;
    *value = v;
    return true;
  }

  bool ParseString(std::string* out) {
    ++pos_;  // the opening quote
    out->clear();
    while (!AtEnd()) {
      // The plain run up to the next quote or escape goes in at once: a
      // manifest's million lines are mostly such runs.
      size_t plain = pos_;
      while (plain < text_.size() && text_[plain] != '"' && text_[plain] != '\\') ++plain;
      out->append(text_.data() + pos_, plain - pos_);
      pos_ = plain;
      if (AtEnd()) return false;
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (AtEnd()) return false;
      const char e = text_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/': out->push_back(e); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u': {
          uint32_t first;
          if (!Hex4(&first)) return false;
          if (first >= 0xDC00 && first <= 0xDFFF) return false;
          if (first >= 0xD800 && first <= 0xDBFF) {
            uint32_t second;
            if (!Literal("\\u") || !Hex4(&second) || second < 0xDC00 || second > 0xDFFF) {
              return false;
            }
            first = 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
          }
          platform::AppendUtf8(*out, first);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  bool ParseContainer(JsonNode* node, JsonKind kind) {
    if (depth_ >= kJsonMaxDepth) {
      tooDeep_ = true;
      return false;
    }
    ++depth_;
    const bool ok = ParseContainerBody(node, kind);
    --depth_;
    return ok;
  }

  bool ParseContainerBody(JsonNode* node, JsonKind kind) {
    const char close = kind == JsonKind::kArray ? ']' : '}';
    node->kind = kind;
    ++pos_;  // the opening bracket
    SkipSpace();
    if (Peek() == close) {
      ++pos_;
      return true;
    }
    for (;;) {
      auto child = std::make_unique<JsonNode>();
      child->parent = node;
      if (kind == JsonKind::kObject) {
        if (Peek() != '"' || !ParseString(&child->key)) return false;
        child->hasKey = true;
        SkipSpace();
        if (Peek() != ':') return false;
        ++pos_;
      }
      SkipSpace();
      JsonNode* raw = child.get();
      node->children.push_back(std::move(child));
      if (!ParseValue(raw)) return false;
      SkipSpace();
      const char next = Peek();
      if (next == close) {
        ++pos_;
        return true;
      }
      if (next != ',') return false;
      ++pos_;
      SkipSpace();
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  int depth_ = 0;
  bool tooDeep_ = false;
};

}  // namespace

ParseOutcome ParseValueInto(std::string_view text, JsonNode* root) {
  return Parser(text).Run(root);
}

}  // namespace kelvane::json_internal
