#include "ui/layout/markup_text.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

namespace kelvane::ui {
namespace {

constexpr std::wstring_view kBreakCharacters = L"-/\\:] ";
constexpr std::wstring_view kTwoBlanks = L"  ";

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  }
  return true;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  return text;
}

// Texts come from a language file anyone may edit: sizes and margins are kept
// to what a screen can show, so no sum of them overflows.
constexpr long kMostFontHeight = 1000;
constexpr long kMostMargin = 1000;

int LimitFontHeight(int height) {
  return static_cast<int>(std::clamp<long>(height, -kMostFontHeight, kMostFontHeight));
}

// What follows a tag's name; nothing when the tag is only its name ("<font >"
// arrives trimmed to "font").
std::wstring_view AfterName(std::wstring_view inside, size_t nameLength) {
  return nameLength < inside.size() ? inside.substr(nameLength) : std::wstring_view();
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return 0;
}

}  // namespace

Color ParseColor(std::wstring_view value) {
  static const struct {
    std::wstring_view name;
    Color color;
  } kNames[] = {{L"dred", Rgb(158, 24, 1)},    {L"dblue", Rgb(0, 66, 147)},
                {L"lblue", Rgb(21, 126, 255)}, {L"orange", Rgb(215, 118, 0)},
                {L"blue", Rgb(0, 0, 255)},     {L"white", Rgb(255, 255, 255)},
                {L"black", Rgb(0, 0, 0)}};
  for (const auto& entry : kNames) {
    if (EqualsNoCase(value, entry.name)) return entry.color;
  }
  if (!value.empty() && (value.front() == L'"' || value.front() == L'\'')) value.remove_prefix(1);
  if (!value.empty() && value.front() == L'#') value.remove_prefix(1);
  int digits[6] = {};
  for (size_t i = 0; i < 6 && i < value.size(); ++i) digits[i] = HexDigit(value[i]);
  return Rgb(static_cast<uint8_t>(digits[0] * 16 + digits[1]),
             static_cast<uint8_t>(digits[2] * 16 + digits[3]),
             static_cast<uint8_t>(digits[4] * 16 + digits[5]));
}

// One entry of the tag table: compared with the text after "<" over its own
// length, without regard to case; the first match wins.
struct CHTMLDrawText::Tag {
  enum Action {
    kNone,
    kFontAttributes,
    kPopFontColor,
    kBig,
    kBold,
    kPopFont,
    kItalic,
    kUnderline,
    kUnderlineOff,
    kColor,
    kPopColor,
    kHeading,
    kLighten,
    kBreak,
    kWhiteSpace,
    kLink,
    kLinkOff,
    kParagraph,
    kParagraphAttributes
  };
  std::wstring_view entry;
  Action action;
  Color color = 0;
};

CHTMLDrawText::CHTMLDrawText() = default;
CHTMLDrawText::~CHTMLDrawText() = default;

void CHTMLDrawText::SetText(std::wstring_view text) {
  std::wstring prepared;
  const bool markup = text.find(L'<') != std::wstring_view::npos;
  for (const wchar_t c : text) {
    if (markup && c == L'\n') {
      prepared += L"<br>";
    } else {
      prepared.push_back(c);
    }
  }
  if (markup) prepared += L"<*>";
  // Each pair of blanks becomes one, going on after the blank kept: a run of
  // n blanks keeps n/2 rounded up.
  text_.clear();
  for (size_t i = 0; i < prepared.size(); ++i) {
    text_.push_back(prepared[i]);
    if (prepared[i] == L' ' && i + 1 < prepared.size() && prepared[i + 1] == L' ') ++i;
  }
  parseNeeded_ = layoutNeeded_ = true;
}

void CHTMLDrawText::SetFont(const FontDescription& font) {
  if (font == baseFont_) return;
  baseFont_ = font;
  parseNeeded_ = layoutNeeded_ = true;
}

void CHTMLDrawText::SetTextColor(Color color) {
  if (color == baseColor_) return;
  baseColor_ = color;
  parseNeeded_ = layoutNeeded_ = true;
}

void CHTMLDrawText::PushFont() { fontStack_.push_back(font_); }
void CHTMLDrawText::PopFont() {
  if (fontStack_.empty()) return;
  font_ = fontStack_.back();
  fontStack_.pop_back();
}
void CHTMLDrawText::PushColor() { colorStack_.push_back(color_); }
void CHTMLDrawText::PopColor() {
  if (colorStack_.empty()) return;
  color_ = colorStack_.back();
  colorStack_.pop_back();
}

void CHTMLDrawText::AddSegment(std::wstring_view text, uint32_t extraFlags) {
  Segment segment;
  segment.text = text;
  segment.color = color_;
  segment.font = font_;
  segment.flags = pendingFlags_ | extraFlags;
  segment.margin = pendingMargin_;
  if (underline_) segment.flags |= Segment::kUnderlined;
  if (link_) segment.flags |= Segment::kLink;
  pendingFlags_ = 0;
  pendingMargin_ = 0;
  segments_.push_back(segment);
}

void CHTMLDrawText::AddTextSegments(size_t begin, size_t end) {
  const std::wstring_view text(text_);
  size_t start = begin;
  for (size_t i = begin; i < end; ++i) {
    if (kBreakCharacters.find(text[i]) != std::wstring_view::npos) {
      AddSegment(text.substr(start, i + 1 - start), 0);
      start = i + 1;
    }
  }
  // The rest before the tag; after a break character right before the tag,
  // a run of no characters.
  if (end > begin) AddSegment(text.substr(start, end - start), 0);
}

void CHTMLDrawText::ParseAttributes(std::wstring_view text) {
  attributes_.clear();
  size_t pos = 0;
  while (true) {
    const size_t equals = text.find(L'=', pos);
    if (equals == std::wstring_view::npos) break;
    attributes_.emplace_back(TrimBlanks(text.substr(pos, equals - pos)));
    size_t v = equals + 1;
    while (v < text.size() && text[v] == L' ') ++v;
    size_t end;
    if (v < text.size() && (text[v] == L'"' || text[v] == L'\'')) {
      const wchar_t quote = text[v++];
      end = text.find(quote, v);
      if (end == std::wstring_view::npos) end = text.size();
      attributes_.emplace_back(text.substr(v, end - v));
      pos = std::min(end + 1, text.size());
    } else {
      end = text.find(L' ', v);
      if (end == std::wstring_view::npos) end = text.size();
      attributes_.emplace_back(text.substr(v, end - v));
      pos = end;
    }
  }
}

void CHTMLDrawText::RunTag(const Tag& tag, std::wstring_view inside) {
  auto newFont = [this](auto change) {
    PushFont();
    change(font_);
  };
  switch (tag.action) {
    case Tag::kNone: break;
    case Tag::kFontAttributes: {
      ParseAttributes(AfterName(inside, 5));
      if (attributes_.empty()) break;
      PushColor();
      if (attributes_.size() % 2 != 0) break;
      FontDescription changed = font_;
      bool fontChanged = false;
      for (size_t i = 0; i + 1 < attributes_.size(); i += 2) {
        const std::wstring& name = attributes_[i];
        const std::wstring& value = attributes_[i + 1];
        if (EqualsNoCase(name, L"color")) {
          color_ = ParseColor(value);
        } else if (EqualsNoCase(name, L"size") && !value.empty()) {
          fontChanged = true;
          const int number = static_cast<int>(std::clamp(
              std::wcstol(value.c_str() + (value[0] == L'+' || value[0] == L'-'), nullptr, 10), 0L,
              kMostFontHeight));
          if (value[0] == L'-') {
            changed.height += number;
          } else if (value[0] == L'+') {
            changed.height -= number;
          } else {
            changed.height = -(number + 2) * 4;
          }
        } else if (EqualsNoCase(name, L"face")) {
          fontChanged = true;
          changed.face = value.substr(0, 31);
        }
      }
      if (fontChanged) {
        PushFont();
        changed.height = LimitFontHeight(changed.height);
        font_ = changed;
      }
      break;
    }
    case Tag::kPopFontColor: PopFont(), PopColor(); break;
    case Tag::kBig:
      PushFont();
      PushColor();
      font_.height =
          LimitFontHeight((font_.height < 0 ? -1 : 1) * MulDiv(std::abs(font_.height), 96, 72));
      font_.weight = 400;
      break;
    case Tag::kBold: newFont([](FontDescription& f) { f.weight = 700; }); break;
    case Tag::kPopFont: PopFont(); break;
    case Tag::kItalic: newFont([](FontDescription& f) { f.italic = true; }); break;
    case Tag::kUnderline:
      newFont([](FontDescription& f) { f.underline = true; });
      underline_ = true;
      break;
    case Tag::kUnderlineOff:
      PopFont();
      underline_ = false;
      break;
    case Tag::kColor:
      PushColor();
      color_ = tag.color;
      break;
    case Tag::kPopColor: PopColor(); break;
    case Tag::kHeading:
      newFont([](FontDescription& f) { f.weight = 700; });
      PushColor();
      color_ = LightenColor(color_, 0.4);
      break;
    case Tag::kLighten:
      PushColor();
      color_ = LightenColor(color_, 0.4);
      break;
    case Tag::kBreak: AddSegment({}, Segment::kNewLine); break;
    case Tag::kWhiteSpace: AddSegment(kTwoBlanks, Segment::kWhiteSpace); break;
    case Tag::kLink: {
      newFont([](FontDescription& f) { f.underline = true; });
      PushColor();
      color_ = ParseColor(L"dblue");
      ParseAttributes(AfterName(inside, 2));
      if (attributes_.size() == 2 && EqualsNoCase(attributes_[0], L"href") &&
          !attributes_[1].empty()) {
        links_.push_back(Link{attributes_[1], segments_.size()});
      }
      underline_ = link_ = true;
      break;
    }
    case Tag::kLinkOff:
      PopColor();
      PopFont();
      underline_ = link_ = false;
      break;
    case Tag::kParagraph:
      pendingMargin_ = ScaleForDpi(5, dpi_);
      AddSegment({}, Segment::kNewLine);
      break;
    case Tag::kParagraphAttributes: {
      ParseAttributes(AfterName(inside, inside[0] == L'/' ? 3 : 2));
      int margin = 0;
      if (attributes_.size() == 2 && EqualsNoCase(attributes_[0], L"margin")) {
        margin = static_cast<int>(
            std::clamp(std::wcstol(attributes_[1].c_str(), nullptr, 10), 0L, kMostMargin));
      }
      pendingMargin_ = ScaleForDpi(margin, dpi_);
      AddSegment({}, Segment::kNewLine);
      break;
    }
  }
}

void CHTMLDrawText::Parse() {
  static const Tag kTags[] = {
      {L"*", Tag::kNone},
      {L"font>", Tag::kNone},
      {L"font ", Tag::kFontAttributes},
      {L"/font>", Tag::kPopFontColor},
      {L"big>", Tag::kBig},
      {L"/big>", Tag::kPopFontColor},
      {L"b>", Tag::kBold},
      {L"strong>", Tag::kBold},
      {L"/b>", Tag::kPopFont},
      {L"/strong>", Tag::kPopFont},
      {L"i>", Tag::kItalic},
      {L"em>", Tag::kItalic},
      {L"/i>", Tag::kPopFont},
      {L"/em>", Tag::kPopFont},
      {L"u>", Tag::kUnderline},
      {L"/u>", Tag::kUnderlineOff},
      {L"col_rot>", Tag::kColor, Rgb(158, 24, 1)},
      {L"col_red>", Tag::kColor, Rgb(158, 24, 1)},
      {L"/col_rot>", Tag::kPopColor},
      {L"/col_red>", Tag::kPopColor},
      {L"col_dblue>", Tag::kColor, Rgb(0, 66, 147)},
      {L"/col_dblue>", Tag::kPopColor},
      {L"col_orange>", Tag::kColor, Rgb(215, 118, 0)},
      {L"/col_orange>", Tag::kPopColor},
      {L"hf>", Tag::kHeading},
      {L"/hf>", Tag::kPopFontColor},
      {L"hn>", Tag::kLighten},
      {L"/hn>", Tag::kPopColor},
      {L"br>", Tag::kBreak},
      {L"ws>", Tag::kWhiteSpace},
      {L"a ", Tag::kLink},
      {L"/a>", Tag::kLinkOff},
      {L"p>", Tag::kParagraph},
      {L"p ", Tag::kParagraphAttributes},
      {L"/p>", Tag::kParagraph},
      {L"/p ", Tag::kParagraphAttributes},
  };
  segments_.clear();
  links_.clear();
  fontStack_.clear();
  colorStack_.clear();
  font_ = baseFont_;
  color_ = BaseColor();
  underline_ = link_ = false;
  pendingFlags_ = 0;
  pendingMargin_ = 0;
  parseNeeded_ = false;
  plain_ = text_.find(L'<') == std::wstring::npos;
  if (plain_) return;
  const std::wstring_view text(text_);
  size_t textStart = 0;
  for (size_t at = text.find(L'<'); at != std::wstring_view::npos; at = text.find(L'<', at + 1)) {
    const size_t close = text.find(L'>', at + 1);
    const size_t nextOpen = text.find(L'<', at + 1);
    if (close == std::wstring_view::npos ||
        (nextOpen != std::wstring_view::npos && nextOpen < close)) {
      continue;  // an ordinary "<"
    }
    const std::wstring_view after = text.substr(at + 1);
    const Tag* tag = nullptr;
    for (const Tag& entry : kTags) {
      if (StartsWithNoCase(after, entry.entry)) {
        tag = &entry;
        break;
      }
    }
    if (!tag) continue;
    AddTextSegments(textStart, at);
    RunTag(*tag, TrimBlanks(text.substr(at + 1, close - at - 1)));
    textStart = close + 1;
    at = close;
  }
}

}  // namespace kelvane::ui
