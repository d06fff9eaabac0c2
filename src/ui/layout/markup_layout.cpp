// The markup's layout and drawing: runs measured, broken into lines for a
// width, aligned, drawn and clipped; the parsing is in markup_text.cpp.
#include <algorithm>

#include "ui/layout/markup_text.h"

namespace kelvane::ui {
namespace {

constexpr std::wstring_view kMarker = L"...";

}  // namespace

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
