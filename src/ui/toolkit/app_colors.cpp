#include "ui/toolkit/app_colors.h"

#include <wx/settings.h>

#include "ui/toolkit/wx_convert.h"

namespace kelvane::ui {

std::vector<AppColorEntry> BuildAppColorTable(const std::function<Color(SystemColor)>& system) {
  const Color buttonFace = system(SystemColor::kButtonFace);
  const struct {
    const wchar_t* key;
    Color color;
  } kRows[] = {
      {L"ApplicationListCtrlSelectBoxColor", Rgb(219, 219, 227)},
      {L"ApplicationListCtrlSelectBoxBorderColor", Rgb(149, 155, 179)},
      {L"ApplicationListCtrlTextColor", Rgb(0, 0, 0)},
      {L"ApplicationListCtrlSelectTextColor", Rgb(0, 0, 0)},
      {L"ApplicationListCtrlGrayTextColor", system(SystemColor::kGrayText)},
      {L"ApplicationListCtrlActiveColumnColor", Rgb(246, 246, 246)},
      {L"ApplicationListviewDropSortColor", Rgb(206, 231, 255)},
      {L"ApplicationListCtrlBackgroundColor", Rgb(255, 255, 255)},
      {L"ApplicationListCtrlBackgroundStripeColorColor", DarkenColor(Rgb(255, 255, 255), 0.5)},
      {L"ApplicationListCtrlHoverColor", Rgb(201, 201, 213)},
      {L"ApplicationListCtrlHeaderTextColor", Rgb(41, 69, 103)},
      {L"ApplicationBlueTextColor", Rgb(59, 88, 165)},
      {L"ApplicationRedTextColor", Rgb(239, 0, 0)},
      {L"ApplicationURLTextColor", Rgb(0, 0, 128)},
      {L"ApplicationDarkMode", 0},
      {L"ApplicationBarColor", Rgb(0, 0, 0)},
      {L"ApplicationDialogBkgColor", buttonFace},
      {L"ApplicationDialogTextColor", Rgb(0, 0, 0)},
      {L"ApplicationPageBkgColor", LightenColor(buttonFace, 0.1)},
      {L"ApplicationEnableDialogTheme", 0},
      {L"ApplicationBannerBkgColor", Rgb(255, 255, 255)},
      {L"ApplicationBannerText", Rgb(0, 0, 0)},
      {L"ApplicationGrayMode", 0},
      {L"ApplicationCardGroupColor", Rgb(245, 245, 245)},
      {L"ApplicationCardSubGroupColor", Rgb(235, 235, 235)},
      {L"ApplicationRibbonAccentColor", Rgb(62, 121, 180)},
      {L"ApplicationTabCtrlColor", Rgb(255, 173, 91)},
      {L"ApplicationLineColor", system(SystemColor::kDarkShadow)},
  };
  static_assert(std::size(kRows) == kAppColorEnd);
  std::vector<AppColorEntry> table;
  for (const auto& row : kRows) {
    const uint32_t id = static_cast<uint32_t>(table.size());
    table.push_back(AppColorEntry{id, row.key, row.color, row.color});
  }
  table.push_back(AppColorEntry{kAppColorEnd, nullptr, 0, 0});
  return table;
}

Color GetAppColor(uint32_t id) {
  static const std::vector<AppColorEntry> table = BuildAppColorTable([](SystemColor which) {
    switch (which) {
      case SystemColor::kGrayText:
        return ColorOf(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
      case SystemColor::kButtonFace:
        return ColorOf(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
      case SystemColor::kDarkShadow:
        return ColorOf(wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW));
    }
    return Rgb(0, 0, 0);
  });
  for (const AppColorEntry& entry : table) {
    if (entry.id == id && entry.key) return entry.color;
  }
  return 0;
}

}  // namespace kelvane::ui
