#include "json/json_printer.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "json/json_string.h"
#include "platform/number_text.h"

namespace kelvane {

std::string PrintJsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  std::string text = platform::FormatDoubleG(value, 15);
  double back = 0;
  platform::ParseDouble(text.data(), text.data() + text.size(), &back);
  const double limit = std::max(std::fabs(back), std::fabs(value)) * 2.220446049250313e-16;
  if (std::fabs(back - value) > limit) text = platform::FormatDoubleG(value, 17);
  return text;
}

namespace json_internal {
namespace {

constexpr int kMaxIndent = 260;

class Printer {
 public:
  explicit Printer(const TextSink& sink) : sink_(sink) {}

  void Value(const JsonNode& node) {
    switch (node.kind) {
      case JsonKind::kNull: sink_("null"); break;
      case JsonKind::kBool: sink_(node.intValue ? "true" : "false"); break;
      case JsonKind::kNumber: sink_(PrintJsonNumber(node.numberValue)); break;
      case JsonKind::kString: String(node.stringValue); break;
      case JsonKind::kArray: Array(node); break;
      case JsonKind::kObject: Object(node); break;
    }
  }

 private:
  void Indent(int depth) {
    static const std::string spaces(kMaxIndent, ' ');
    sink_(std::string_view(spaces).substr(0, std::min(2 * depth, kMaxIndent)));
  }

  void String(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    AppendJsonString(bytes, &out);
    sink_(out);
  }

  void Object(const JsonNode& node) {
    sink_("{\n");
    ++depth_;
    for (size_t i = 0; i < node.children.size(); ++i) {
      const JsonNode& child = *node.children[i];
      Indent(depth_);
      String(child.key);
      sink_(" : ");
      Value(child);
      if (i + 1 < node.children.size()) sink_(",");
      sink_("\n");
    }
    --depth_;
    Indent(depth_);
    sink_("}");
  }

  void Array(const JsonNode& node) {
    ++depth_;
    sink_("\n");
    Indent(depth_ - 1);
    sink_("[\n");
    for (size_t i = 0; i < node.children.size(); ++i) {
      Indent(depth_);
      Value(*node.children[i]);
      if (i + 1 < node.children.size()) sink_(",");
      sink_("\n");
    }
    --depth_;
    if (!node.children.empty()) sink_("\n");
    Indent(depth_);
    sink_("]");
  }

  const TextSink& sink_;
  int depth_ = 0;
};

}  // namespace

void PrintNode(const JsonNode& node, const TextSink& sink) { Printer(sink).Value(node); }

}  // namespace json_internal
}  // namespace kelvane
