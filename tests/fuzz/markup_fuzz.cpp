// Any text in the tag language, laid out in a box of any width and format:
// parsing, wrapping, drawing and the link lookup never crash and never read
// outside the text. The first four bytes choose the box and the format; the
// rest is the text (UTF-8).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text_codec.h"
#include "ui/fixed_canvas.h"
#include "ui/layout/markup_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = data[0] * 4;
  const int height = data[1] * 2;
  static constexpr uint32_t kFormats[] = {0,
                                          kelvane::ui::kCenter,
                                          kelvane::ui::kRight,
                                          kelvane::ui::kSingleLine,
                                          kelvane::ui::kWordEllipsis,
                                          kelvane::ui::kEndEllipsis,
                                          kelvane::ui::kCenter | kelvane::ui::kEndEllipsis,
                                          kelvane::ui::kSingleLine | kelvane::ui::kWordEllipsis};
  const uint32_t format = kFormats[data[2] % 8];
  const int dpi = 72 + data[3] % 4 * 24;
  const std::wstring text = kelvane::platform::FromNative(
      std::string_view(reinterpret_cast<const char*>(data + 4), size - 4));

  kelvane::ui::CHTMLDrawText markup;
  kelvane::test::FixedCanvas canvas;
  markup.SetDpi(dpi);
  markup.SetText(text);
  const kelvane::ui::Rect box{0, 0, width, height};
  const kelvane::ui::Size extent = markup.GetExtent(canvas, box, format, true);
  markup.Draw(canvas, &box);
  for (int y = 0; y <= extent.height; y += 7) {
    for (int x = 0; x <= extent.width; x += 13) (void)markup.FindLink(x, y);
  }
  // A second, narrower layout of the same text reuses what the first parsed.
  const kelvane::ui::Rect narrow{0, 0, width / 3, height};
  (void)markup.GetExtent(canvas, narrow, format);
  markup.Draw(canvas, &narrow);
  return 0;
}
