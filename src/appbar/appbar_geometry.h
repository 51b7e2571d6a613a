// The geometry of a docked bar: how a rectangle is cut to the bar's thickness, how a position
// is negotiated with the shell, and which mouse hits keep their meaning.
#ifndef VELKIN_APPBAR_APPBAR_GEOMETRY_H
#define VELKIN_APPBAR_APPBAR_GEOMETRY_H

#include <cstdint>

#include "appbar/appbar_data.h"
#include "system/types.h"

namespace velkin {

// Hit-test results (WM_NCHITTEST) that the bar cares about.
enum : int32_t { kHtClient = 1, kHtLeft = 10, kHtRight = 11, kHtTop = 12, kHtBottom = 15 };

// Sets the inner side of rc from its outer side so the bar is `thickness` across its strip:
// the width counts on the left and right edges, the height on the top and bottom ones.
// Any other edge leaves rc as it is.
void ApplyThickness(uint32_t edge, Rect& rc, Size thickness);

// The whole screen, the rectangle every docking starts from.
Rect ScreenRect(Size screen);

// Negotiates `proposed` with the shell for the edge in data.abd.uEdge: stretches it along the
// whole edge, asks the shell where it may go (ABM_QUERYPOS), puts the inner side back at the
// proposed thickness and claims the result (ABM_SETPOS). Returns the rectangle claimed, which
// is also left in data.abd.rc.
Rect NegotiatePosition(CAppBarData& data, const Rect& proposed, Size screen);

// What a hit test answers on the bar: only the sizing border that faces the middle of the
// screen keeps its meaning; everything else is client area.
int32_t BarHitTest(uint32_t edge, int32_t defaultResult);

}  // namespace velkin

#endif
