#include "appbar/appbar_geometry.h"

namespace velkin {

void ApplyThickness(uint32_t edge, Rect& rc, Size thickness) {
  switch (edge) {
    case kEdgeLeft: rc.right = rc.left + thickness.cx; break;
    case kEdgeTop: rc.bottom = rc.top + thickness.cy; break;
    case kEdgeRight: rc.left = rc.right - thickness.cx; break;
    case kEdgeBottom: rc.top = rc.bottom - thickness.cy; break;
    default: break;
  }
}

Rect ScreenRect(Size screen) { return Rect{0, 0, screen.cx, screen.cy}; }

Rect NegotiatePosition(CAppBarData& data, const Rect& proposed, Size screen) {
  Rect& rc = data.abd.rc;
  rc = proposed;
  const uint32_t edge = data.abd.uEdge;
  const bool vertical = edge == kEdgeLeft || edge == kEdgeRight;
  int32_t thickness = 0;
  if (vertical) {
    thickness = rc.Width();
    rc.top = 0;
    rc.bottom = screen.cy;
  } else {
    thickness = rc.Height();
    rc.left = 0;
    rc.right = screen.cx;
  }
  data.QueryPos();
  ApplyThickness(edge, rc, vertical ? Size{thickness, 0} : Size{0, thickness});
  data.SetPos();
  return rc;
}

int32_t BarHitTest(uint32_t edge, int32_t defaultResult) {
  int32_t inner = kHtClient;
  switch (edge) {
    case kEdgeLeft: inner = kHtRight; break;
    case kEdgeTop: inner = kHtBottom; break;
    case kEdgeRight: inner = kHtLeft; break;
    case kEdgeBottom: inner = kHtTop; break;
    default: break;
  }
  return defaultResult == inner ? inner : kHtClient;
}

}  // namespace velkin
