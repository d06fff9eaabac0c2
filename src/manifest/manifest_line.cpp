#include "manifest/manifest_line.h"

#include <nettle/base64.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "json/json_document.h"
#include "json/json_string.h"
#include "platform/text_codec.h"
#include "util/civil_date.h"

namespace kelvane {
namespace {

const char* TypeName(ManifestEntry::Type type) {
  switch (type) {
    case ManifestEntry::Type::kFolder: return "folder";
    case ManifestEntry::Type::kLink: return "link";
    case ManifestEntry::Type::kFile: break;
  }
  return "file";
}

std::string Base64(std::string_view bytes) {
  std::string text(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
  base64_encode_raw(text.data(), bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
  return text;
}

bool FromBase64(const std::string& text, std::string* bytes) {
  std::vector<uint8_t> decoded(BASE64_DECODE_LENGTH(text.size()) + 1);
  base64_decode_ctx context;
  base64_decode_init(&context);
  size_t length = decoded.size();
  if (!base64_decode_update(&context, &length, decoded.data(), text.size(), text.data()) ||
      !base64_decode_final(&context)) {
    return false;
  }
  bytes->assign(reinterpret_cast<const char*>(decoded.data()), length);
  return true;
}

class LineWriter {
 public:
  explicit LineWriter(std::string* out) : out_(out) { out_->push_back('{'); }
  ~LineWriter() { *out_ += "}\n"; }

  void Text(const char* key, std::string_view value) {
    Key(key);
    AppendJsonString(value, out_);
  }
  void TextIfAny(const char* key, std::string_view value) {
    if (!value.empty()) Text(key, value);
  }
  // Bytes that are not UTF-8 go under the key with "64" appended, in Base64.
  void Bytes(const char* key, std::string_view value) {
    if (platform::IsValidUtf8(value)) return Text(key, value);
    Text((std::string(key) + "64").c_str(), Base64(value));
  }
  void Flag(const char* key) {
    Key(key);
    *out_ += "true";
  }
  void Number(const char* key, int64_t value) {
    Key(key);
    *out_ += std::to_string(value);
  }
  // Names that are not UTF-8 cannot be a JSON member's name: left out.
  void Attributes(const char* key, const platform::ExtendedAttributes& attributes) {
    if (attributes.empty()) return;
    Key(key);
    out_->push_back('{');
    bool first = true;
    for (const auto& [name, value] : attributes) {
      if (!platform::IsValidUtf8(name)) continue;
      if (!first) out_->push_back(',');
      first = false;
      AppendJsonString(name, out_);
      out_->push_back(':');
      AppendJsonString(Base64(value), out_);
    }
    out_->push_back('}');
  }

 private:
  void Key(const char* key) {
    if (out_->back() != '{') out_->push_back(',');
    AppendJsonString(key, out_);
    out_->push_back(':');
  }
  std::string* out_;
};

// The members of one line's object, read through the program's JSON parser.
class LineReader {
 public:
  bool Parse(std::string_view line) {
    return document_.Parse(line).ok() && document_.root() &&
           document_.root()->kind == JsonKind::kObject;
  }
  const JsonNode* Find(const char* key) const { return document_.Find(document_.root(), key); }

  // Each leaves its value alone when the member is absent and says false when
  // it is there with the wrong type.
  bool Text(const char* key, std::string* value) const {
    const JsonNode* node = Find(key);
    if (!node) return true;
    if (node->kind != JsonKind::kString) return false;
    *value = node->stringValue;
    return true;
  }
  bool Bytes(const char* key, std::string* value) const {
    if (!Text(key, value)) return false;
    const JsonNode* encoded = Find((std::string(key) + "64").c_str());
    if (!encoded) return true;
    return encoded->kind == JsonKind::kString && FromBase64(encoded->stringValue, value);
  }
  bool Attributes(const char* key, platform::ExtendedAttributes* attributes) const {
    const JsonNode* node = Find(key);
    if (!node) return true;
    if (node->kind != JsonKind::kObject) return false;
    for (const auto& member : node->children) {
      std::string value;
      if (member->kind != JsonKind::kString || !FromBase64(member->stringValue, &value)) {
        return false;
      }
      attributes->emplace_back(member->key, std::move(value));
    }
    return true;
  }
  bool Flag(const char* key, bool* value) const {
    const JsonNode* node = Find(key);
    if (!node) return true;
    if (node->kind != JsonKind::kBool) return false;
    *value = node->intValue != 0;
    return true;
  }
  template <typename T>
  bool Number(const char* key, T* value) const {
    const JsonNode* node = Find(key);
    if (!node) return true;
    const double number = node->numberValue;
    if (node->kind != JsonKind::kNumber || number != std::floor(number) ||
        number < static_cast<double>(std::numeric_limits<T>::min()) ||
        number > static_cast<double>(std::numeric_limits<T>::max())) {
      return false;
    }
    *value = static_cast<T>(number);
    return true;
  }

 private:
  JsonDocument document_;
};

}  // namespace

void AppendHeaderLine(const ManifestHeader& header, std::string* out) {
  LineWriter line(out);
  line.Number("kelvane_manifest", header.version);
  line.TextIfAny("job", header.job);
  line.Text("archive", header.archive);
  line.Text("id", header.id);
  line.Text("time", header.time);
  line.Text("kind", header.kind);
  line.TextIfAny("base", header.base);
  line.TextIfAny("check", header.check);
}

void AppendEntryLine(const ManifestEntry& entry, std::string* out) {
  LineWriter line(out);
  line.Bytes("path", entry.path);
  line.Text("type", TypeName(entry.type));
  if (entry.type != ManifestEntry::Type::kFolder) {
    line.Number("size", static_cast<int64_t>(entry.size));
  }
  line.Number("mtime", entry.mtimeSeconds);
  line.Number("mtime_ns", entry.mtimeNanoseconds);
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", entry.mode & 07777);
  line.Text("mode", mode);
  line.Number("uid", entry.uid);
  line.Number("gid", entry.gid);
  line.TextIfAny("user", entry.user);
  line.TextIfAny("group", entry.group);
  if (entry.type == ManifestEntry::Type::kLink) line.Bytes("target", entry.target);
  line.Attributes("xattrs", entry.attributes);
  if (entry.sparse) line.Flag("sparse");
  if (entry.hasDigest) line.Text("sha256", platform::HexText(entry.sha256));
  line.TextIfAny("archive", entry.archive);
  line.TextIfAny("archive_id", entry.archiveId);
}

bool ParseHeaderLine(std::string_view line, ManifestHeader* header) {
  LineReader reader;
  *header = {};
  header->version = 0;
  return reader.Parse(line) && reader.Number("kelvane_manifest", &header->version) &&
         header->version >= 1 && reader.Text("job", &header->job) &&
         reader.Text("archive", &header->archive) && reader.Text("id", &header->id) &&
         reader.Text("time", &header->time) && reader.Text("kind", &header->kind) &&
         reader.Text("base", &header->base) && reader.Text("check", &header->check);
}

bool ParseEntryLine(std::string_view line, ManifestEntry* entry) {
  LineReader reader;
  *entry = {};
  std::string type, mode, digest;
  if (!reader.Parse(line) || !reader.Bytes("path", &entry->path) || entry->path.empty() ||
      !reader.Text("type", &type) || !reader.Number("size", &entry->size) ||
      !reader.Number("mtime", &entry->mtimeSeconds) ||
      !reader.Number("mtime_ns", &entry->mtimeNanoseconds) || entry->mtimeNanoseconds > 999999999 ||
      !reader.Text("mode", &mode) || !reader.Number("uid", &entry->uid) ||
      !reader.Number("gid", &entry->gid) || !reader.Text("user", &entry->user) ||
      !reader.Text("group", &entry->group) || !reader.Bytes("target", &entry->target) ||
      !reader.Attributes("xattrs", &entry->attributes) || !reader.Flag("sparse", &entry->sparse) ||
      !reader.Text("sha256", &digest) || !reader.Text("archive", &entry->archive) ||
      !reader.Text("archive_id", &entry->archiveId)) {
    return false;
  }
  if (type == "file") {
    entry->type = ManifestEntry::Type::kFile;
  } else if (type == "folder") {
    entry->type = ManifestEntry::Type::kFolder;
  } else if (type == "link") {
    entry->type = ManifestEntry::Type::kLink;
  } else {
    return false;
  }
  char* end = nullptr;
  entry->mode = static_cast<uint32_t>(std::strtoul(mode.c_str(), &end, 8));
  if (mode.empty() || *end != '\0' || entry->mode > 07777) return false;
  entry->hasDigest = !digest.empty();
  return !entry->hasDigest || platform::ParseHexDigest(digest, &entry->sha256);
}

std::optional<int64_t> ManifestTime(const std::string& text) {
  int year, month, day, hour, minute, second, consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                  &second, &consumed) != 6 ||
      month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  int64_t offset = 0;
  const std::string zone = text.substr(static_cast<size_t>(consumed));
  int zoneHours, zoneMinutes;
  if ((zone[0] == '+' || zone[0] == '-') && zone.size() == 6 &&
      std::sscanf(zone.c_str() + 1, "%2d:%2d", &zoneHours, &zoneMinutes) == 2) {
    offset = (zoneHours * 3600 + zoneMinutes * 60) * (zone[0] == '-' ? -1 : 1);
  } else if (zone != "Z") {
    return std::nullopt;
  }
  return DaysFromCivil({year, month, day}) * 86400 + hour * 3600 + minute * 60 + second - offset;
}

}  // namespace kelvane
