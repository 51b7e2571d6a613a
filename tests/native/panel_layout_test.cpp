#include "panel/panel_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "res/resource.h"

namespace velkin {
namespace {

TEST(PanelLayout, EveryControlHasItsOwnId) {
  std::set<int> ids;
  for (const PanelControl& place : kPanelControls) EXPECT_TRUE(ids.insert(place.id).second) << place.id;
  EXPECT_EQ(ids.size(), kPanelControlCount);
}

TEST(PanelLayout, ButtonsAreARowOf32PixelSquaresFourApart) {
  const int order[] = {IDC_SUSPEND, IDC_RESTARTWINDOWS, IDC_RESTARTSYSTEM, IDC_SHUTDOWN,
                       IDC_MINIMIZEALL, IDC_EXIT};
  int left = 4;
  for (int id : order) {
    const PanelControl* place = FindPanelControl(id);
    ASSERT_NE(place, nullptr) << id;
    EXPECT_EQ(place->kind, ControlKind::kButton);
    EXPECT_EQ(place->rect, (Rect{left, 4, left + 32, 36})) << id;
    EXPECT_EQ(place->style, 0x50000040u);
    EXPECT_NE(place->icon, 0);
    left += 36;
  }
}

TEST(PanelLayout, StaticsSitOnTwoRowsWithinTheBar) {
  int statics = 0;
  for (const PanelControl& place : kPanelControls) {
    if (place.kind != ControlKind::kStatic) continue;
    ++statics;
    EXPECT_TRUE((place.rect.top == 4 && place.rect.bottom == 18) ||
                (place.rect.top == 22 && place.rect.bottom == 36))
        << place.id;
    EXPECT_LE(place.rect.right, 856) << place.id;
    EXPECT_EQ(place.style, 0x50000000u);
    ASSERT_NE(place.content, nullptr);
    EXPECT_GT(std::strlen(place.content), 0u);
  }
  EXPECT_EQ(statics, 10);
}

TEST(PanelLayout, LabelsAreCodePage932Bytes) {
  // 空き容量 and ％ in code page 932: proof that the literals are compiled to it.
  EXPECT_EQ(std::string(FindPanelControl(IDC_FREESPACE_LABEL)->content),
            std::string("\x8B\xF3\x82\xAB\x97\x65\x97\xCA"));
  EXPECT_EQ(std::string(FindPanelControl(IDC_RESOURCE_VALUE)->content), std::string("XX.XX \x81\x93"));
}

TEST(PanelLayout, SelectorsHangBelowTheirCaptions) {
  const struct {
    int selector;
    int caption;
    Size finalSize;
  } rows[] = {{IDC_INTERVAL, IDC_INTERVAL_CAPTION, kIntervalSelectorSize},
              {IDC_DRIVE, IDC_DRIVE_CAPTION, kDriveSelectorSize}};
  for (const auto& row : rows) {
    const PanelControl* selector = FindPanelControl(row.selector);
    const PanelControl* caption = FindPanelControl(row.caption);
    ASSERT_NE(selector, nullptr);
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(selector->kind, ControlKind::kComboBox);
    EXPECT_EQ(selector->style, 0x50200003u);
    EXPECT_EQ(selector->rect.left, caption->rect.left);
    EXPECT_EQ(selector->rect.top, caption->rect.bottom);
  }
  EXPECT_EQ(kIntervalSelectorSize, (Size{80, 96}));
  EXPECT_EQ(kDriveSelectorSize, (Size{64, 64}));
}

TEST(Tooltips, ButtonsAndSelectorsHaveTextsLabelsHaveNone) {
  for (const PanelControl& place : kPanelControls) {
    const char* text = TooltipText(place.id);
    if (place.kind == ControlKind::kStatic) {
      EXPECT_EQ(text, nullptr) << place.id;
    } else {
      ASSERT_NE(text, nullptr) << place.id;
      EXPECT_GT(std::strlen(text), 0u);
    }
  }
  EXPECT_EQ(TooltipText(0), nullptr);
  EXPECT_EQ(TooltipText(ID_ABOUT), nullptr);
  // このアプリケーションを終了します begins with この: 82 B1 82 CC in code page 932.
  EXPECT_EQ(std::string(TooltipText(IDC_EXIT)).substr(0, 4), std::string("\x82\xB1\x82\xCC"));
}

}  // namespace
}  // namespace velkin
