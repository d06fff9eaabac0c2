// CHTMLDrawText: short rich texts in the program's small tag language (bold,
// italic, underline, bigger text, named colours, links, line and paragraph
// breaks), measured for a width, wrapped at word breaks, aligned, drawn,
// clipped with an ellipsis marker, with the drawn box of every run kept so the
// owning control can find the link under the mouse.
//
// It draws on a MarkupCanvas: the window side gives one over a wx device
// context (markup_canvas_wx.h), tests give one with fixed text metrics, so
// parsing and line breaking need no display. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/layout/color.h"
#include "ui/layout/dpi_scaling.h"
#include "ui/layout/font_description.h"

namespace kelvane::ui {

// What the renderer draws on.
class MarkupCanvas {
 public:
  struct Extent {
    int width = 0;
    int height = 0;
    int ascent = 0;           // from the top of the text to its baseline
    int internalLeading = 0;  // the space above the letters within height
  };
  virtual ~MarkupCanvas() = default;
  virtual Extent Measure(const FontDescription& font, std::wstring_view text) = 0;
  // Draws `text` with its top-left corner at (x, y).
  virtual void DrawText(const FontDescription& font, Color color, int x, int y,
                        std::wstring_view text) = 0;
  virtual void FillRect(const Rect& rect, Color color) = 0;
  virtual void SetClip(const Rect& rect) = 0;
  virtual void ResetClip() = 0;
};

// The format flags the renderer understands (Windows' DT_* values).
enum DrawFormat : uint32_t {
  kCenter = 0x1,
  kRight = 0x2,
  kSingleLine = 0x20,
  kWordEllipsis = 0x40000,
  kEndEllipsis = 0x8000,
};

class CHTMLDrawText {
 public:
  CHTMLDrawText();
  virtual ~CHTMLDrawText();

  // Stores the text, prepared: with markup ("<" in it), "<*>" is appended and
  // every line feed becomes "<br>"; then each pair of blanks becomes one.
  // A text without "<" is plain: wrapped at blanks and line feeds, drawn in
  // the base font and colour.
  void SetText(std::wstring_view text);
  void SetFont(const FontDescription& font);
  void SetTextColor(Color color);
  void SetMarkerBackground(Color color) { markerBackground_ = color; }
  // DPI for the paragraph margins ("<p>").
  void SetDpi(int dpi) { dpi_ = dpi; }

  // Lays the text out for the width of `rect` and returns its size.
  Size GetExtent(MarkupCanvas& canvas, const Rect& rect, uint32_t format, bool force = false);
  // Draws the text into `rect` (none: the rectangle of the last GetExtent),
  // laying it out again when the width changed.
  void Draw(MarkupCanvas& canvas, const Rect* rect = nullptr);
  // The target of the link drawn at (x, y), if any.
  std::optional<std::wstring> FindLink(int x, int y) const;

  const std::wstring& text() const { return text_; }
  int lineCount() const { return lines_; }
  bool endMarkerDrawn() const { return ellipsisDrawn_; }

  // One run of text drawn with one font and colour.
  struct Segment {
    enum Flag : uint32_t { kNewLine = 1, kUnderlined = 2, kWhiteSpace = 4, kLink = 8 };
    std::wstring_view text;  // into text(), or two blanks for a white-space run
    int line = 1;
    int height = 0;  // of the run; after layout, of its line
    int width = 0;   // of the run; after layout, of its line
    int runWidth = 0;
    int margin = 0;
    uint32_t flags = 0;
    Color color = 0;
    FontDescription font;
    Rect box;  // where it was drawn last; empty when it was not
  };
  const std::vector<Segment>& segments() const { return segments_; }

 private:
  struct Link {
    std::wstring target;
    size_t firstSegment = 0;
  };
  struct Tag;

  void Parse();
  void AddTextSegments(size_t begin, size_t end);
  void AddSegment(std::wstring_view text, uint32_t extraFlags);
  void RunTag(const Tag& tag, std::wstring_view inside);
  void ParseAttributes(std::wstring_view text);
  void PushFont(), PopFont(), PushColor(), PopColor();
  void Layout(MarkupCanvas& canvas, const Rect& rect, uint32_t format);
  void LayoutPlain(MarkupCanvas& canvas, int available);
  void DrawPlain(MarkupCanvas& canvas, const Rect& rect);
  void DrawMoreMarker(MarkupCanvas& canvas, const Rect& rect);
  Color BaseColor() const { return baseColor_ == kUnsetColor ? 0 : baseColor_; }

  std::wstring text_;
  FontDescription baseFont_;
  FontDescription font_;
  Color baseColor_ = kUnsetColor;
  Color color_ = 0;
  Color markerBackground_ = 0x000000FF;
  int dpi_ = 96;
  int width_ = 0, height_ = 0, lines_ = 0;
  uint32_t pendingFlags_ = 0;
  int pendingMargin_ = 0;
  bool underline_ = false, link_ = false;
  uint32_t format_ = 0;
  std::vector<std::wstring> attributes_;  // name, value, name, value ...
  std::vector<Segment> segments_;
  std::vector<Link> links_;
  std::vector<std::wstring_view> plainLines_;  // plain text, wrapped
  int plainLineHeight_ = 0;
  std::vector<FontDescription> fontStack_;
  std::vector<Color> colorStack_;
  Rect layoutRect_;
  bool layoutNeeded_ = true, parseNeeded_ = true, plain_ = false, ellipsisDrawn_ = false;
};

// A colour value of the tag language: one of the names "dred", "dblue",
// "lblue", "orange", "blue", "white", "black", or six hexadecimal digits after
// an optional quotation mark and "#" (a character that is no digit counts 0).
Color ParseColor(std::wstring_view value);

}  // namespace kelvane::ui
