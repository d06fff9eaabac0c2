#include "ui/markup_text.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

namespace kelvane::ui {
namespace {

constexpr std::wstring_view kBreakCharacters = L"-/\\:] ";
constexpr std::wstring_view kMarker = L"...";
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

// Plain text breaks at line feeds and, where a line grows too wide, after the
// last blank that still fits (a word wider than the line stands alone).
void CHTMLDrawText::LayoutPlain(MarkupCanvas& canvas, int available) {
  plainLines_.clear();
  const std::wstring_view text(text_);
  plainLineHeight_ = canvas.Measure(baseFont_, L" ").height;
  size_t lineStart = 0;
  while (lineStart <= text.size()) {
    size_t lineEnd = text.find(L'\n', lineStart);
    if (lineEnd == std::wstring_view::npos) lineEnd = text.size();
    std::wstring_view rest = text.substr(lineStart, lineEnd - lineStart);
    if (!rest.empty() && rest.back() == L'\r') rest.remove_suffix(1);
    while (true) {
      size_t fits = rest.size();
      while (fits > 0 && canvas.Measure(baseFont_, rest.substr(0, fits)).width > available) {
        const size_t blank = rest.rfind(L' ', fits - 1);
        if (blank == std::wstring_view::npos || blank == 0) break;
        fits = blank;
      }
      if (fits == rest.size() ||
          canvas.Measure(baseFont_, rest.substr(0, fits)).width <= available) {
        plainLines_.push_back(rest.substr(0, fits));
      } else {
        // Not even the first word fits: it takes the line on its own.
        const size_t blank = rest.find(L' ');
        fits = blank == std::wstring_view::npos ? rest.size() : blank;
        plainLines_.push_back(rest.substr(0, fits));
      }
      if (fits >= rest.size()) break;
      rest.remove_prefix(fits);
      while (!rest.empty() && rest.front() == L' ') rest.remove_prefix(1);
      if (rest.empty()) break;
    }
    lineStart = lineEnd + 1;
  }
  lines_ = static_cast<int>(plainLines_.size());
  width_ = available;
  height_ = lines_ * plainLineHeight_ + 1;
}

void CHTMLDrawText::Layout(MarkupCanvas& canvas, const Rect& rect, uint32_t format) {
  if (parseNeeded_) Parse();
  layoutRect_ = rect;
  format_ = format;
  layoutNeeded_ = false;
  const int available = rect.width();
  if (plain_) {
    LayoutPlain(canvas, available);
    return;
  }
  int x = 0;
  int line = 1;
  width_ = 0;
  for (size_t i = 0; i < segments_.size(); ++i) {
    Segment& segment = segments_[i];
    const MarkupCanvas::Extent blank = canvas.Measure(segment.font, L" ");
    const int extra = (segment.flags & Segment::kWhiteSpace) ? blank.width : 0;
    MarkupCanvas::Extent extent = blank;
    extent.width = 0;
    extent.internalLeading = 0;
    if (!segment.text.empty()) extent = canvas.Measure(segment.font, segment.text);
    segment.runWidth = extent.width;
    if (!(format & kSingleLine) && i > 0 &&
        (x + segment.runWidth > available || (segment.flags & Segment::kNewLine))) {
      ++line;
      x = 0;
    }
    segment.height = extent.height - (line == 1 ? extent.internalLeading : 0);
    segment.line = line;
    x += segment.runWidth + extra;
    width_ = std::max(width_, x);
  }
  lines_ = segments_.empty() ? 0 : line;
  height_ = 0;
  size_t first = 0;
  while (first < segments_.size()) {
    size_t last = first;
    int lineWidth = 0, lineHeight = 0, lineMargin = 0;
    for (; last < segments_.size() && segments_[last].line == segments_[first].line; ++last) {
      lineWidth += segments_[last].runWidth;
      lineHeight = std::max(lineHeight, segments_[last].height);
      lineMargin = std::max(lineMargin, segments_[last].margin);
    }
    for (size_t i = first; i < last; ++i) {
      segments_[i].width = lineWidth;
      segments_[i].height = lineHeight + lineMargin;
    }
    height_ += lineHeight + lineMargin;
    first = last;
  }
  height_ += 3;
}

Size CHTMLDrawText::GetExtent(MarkupCanvas& canvas, const Rect& rect, uint32_t format, bool force) {
  if (parseNeeded_) Parse();
  if (layoutNeeded_ || force) Layout(canvas, rect, format);
  return Size{width_, height_};
}

void CHTMLDrawText::DrawMoreMarker(MarkupCanvas& canvas, const Rect& rect) {
  if (ellipsisDrawn_) return;
  ellipsisDrawn_ = true;
  FontDescription marker = baseFont_;
  marker.weight = 700;
  marker.height *= 2;
  const MarkupCanvas::Extent extent = canvas.Measure(marker, kMarker);
  canvas.FillRect(Rect{rect.right - extent.width - 5, rect.bottom - extent.height / 3 - 5,
                       rect.right + 5, rect.bottom - 2},
                  markerBackground_);
  canvas.DrawText(marker, BaseColor(), rect.right - 3 - extent.width, rect.bottom - extent.height,
                  kMarker);
}

void CHTMLDrawText::DrawPlain(MarkupCanvas& canvas, const Rect& rect) {
  int y = rect.top;
  for (const std::wstring_view line : plainLines_) {
    const int slack = rect.width() - canvas.Measure(baseFont_, line).width;
    const int x = rect.left + ((format_ & kRight) ? slack : (format_ & kCenter) ? slack / 2 : 0);
    if (!line.empty()) canvas.DrawText(baseFont_, BaseColor(), x, y, line);
    y += plainLineHeight_;
  }
  if (y - rect.top > rect.height()) DrawMoreMarker(canvas, rect);
}

void CHTMLDrawText::Draw(MarkupCanvas& canvas, const Rect* given) {
  if (layoutRect_.width() <= 0 || layoutRect_.height() <= 0) return;
  const Rect rect = given ? *given : layoutRect_;
  if (parseNeeded_ || layoutNeeded_ || rect.width() != layoutRect_.width()) {
    Layout(canvas, rect, format_);
  }
  ellipsisDrawn_ = false;
  canvas.SetClip(rect);
  if (plain_) {
    DrawPlain(canvas, rect);
    canvas.ResetClip();
    return;
  }
  for (Segment& s : segments_) s.box = Rect{};
  int lineTop = rect.top;
  int x = rect.left;
  for (size_t i = 0; i < segments_.size(); ++i) {
    Segment& s = segments_[i];
    if (i == 0 || s.line != segments_[i - 1].line) {
      if (i > 0) lineTop += segments_[i - 1].height;
      const int slack = rect.width() - s.width;
      x = rect.left + ((format_ & kRight) ? slack : (format_ & kCenter) ? slack / 2 : 0);
    }
    const int baseline = lineTop + s.height;
    if (((format_ & kSingleLine) && x - rect.left > rect.width()) || baseline > rect.bottom) {
      if (format_ & kEndEllipsis) DrawMoreMarker(canvas, rect);
      break;
    }
    if (s.flags & Segment::kWhiteSpace) {
      const MarkupCanvas::Extent blank = canvas.Measure(s.font, L" ");
      if (s.flags & Segment::kUnderlined) {
        canvas.DrawText(s.font, s.color, x, baseline - blank.ascent, L" ");
      }
      x += blank.width;
      continue;
    }
    if (!s.text.empty()) {
      const MarkupCanvas::Extent extent = canvas.Measure(s.font, s.text);
      canvas.DrawText(s.font, s.color, x, baseline - extent.ascent, s.text);
    }
    s.box = Rect{x, lineTop, x + s.runWidth, lineTop + s.height};
    x += s.runWidth;
    if ((format_ & kWordEllipsis) && x > rect.right) {
      const MarkupCanvas::Extent marker = canvas.Measure(baseFont_, kMarker);
      canvas.FillRect(Rect{rect.right - marker.width, lineTop, rect.right, lineTop + s.height},
                      markerBackground_);
      canvas.DrawText(baseFont_, BaseColor(), rect.right - marker.width, lineTop, kMarker);
    }
  }
  canvas.ResetClip();
}

std::optional<std::wstring> CHTMLDrawText::FindLink(int x, int y) const {
  for (const Link& link : links_) {
    for (size_t i = link.firstSegment; i < segments_.size(); ++i) {
      const Segment& s = segments_[i];
      if (!(s.flags & Segment::kUnderlined)) break;
      if (x >= s.box.left && x < s.box.right && y >= s.box.top && y < s.box.bottom) {
        return link.target;
      }
    }
  }
  return std::nullopt;
}

}  // namespace kelvane::ui
