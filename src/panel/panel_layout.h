// The panel's controls: what each one is, where it sits and what it first shows, and the
// tooltip of each control that has one.
#ifndef VELKIN_PANEL_PANEL_LAYOUT_H
#define VELKIN_PANEL_PANEL_LAYOUT_H

#include <cstddef>
#include <cstdint>

#include "system/types.h"

namespace velkin {

enum class ControlKind { kButton, kStatic, kComboBox };

struct PanelControl {
  ControlKind kind;
  int id;
  Rect rect;            // client coordinates; a combo box's height includes its list
  uint32_t style;
  const char* content;  // initial text of a static (CP932), nullptr for the others
  int icon;             // icon resource of a button, 0 for the others
};

// Window styles used by the controls.
constexpr uint32_t kIconButtonStyle = 0x50000040;  // WS_CHILD | WS_VISIBLE | BS_ICON
constexpr uint32_t kStaticStyle = 0x50000000;      // WS_CHILD | WS_VISIBLE | SS_LEFT
constexpr uint32_t kSelectorStyle = 0x50200003;    // WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST

// In creation order: six buttons, ten statics, the interval and the drive selector.
constexpr std::size_t kPanelControlCount = 18;
extern const PanelControl kPanelControls[kPanelControlCount];

// The sizes the two selectors are given once they are filled; their top-left corners stay.
constexpr Size kDriveSelectorSize{64, 64};
constexpr Size kIntervalSelectorSize{80, 96};

// The control with this ID, or nullptr.
const PanelControl* FindPanelControl(int id);

// The tooltip text (CP932) of the control with this ID, or nullptr when it has none.
const char* TooltipText(int id);

}  // namespace velkin

#endif
