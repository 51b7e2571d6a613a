// Conversions between the portable types and the Windows structures they stand for.
#ifndef VELKIN_SYSTEM_WIN32_TYPES_H
#define VELKIN_SYSTEM_WIN32_TYPES_H

#include <windows.h>

#include "system/types.h"

namespace velkin {

inline Rect ToRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

inline RECT ToRECT(const Rect& r) {
  RECT out;
  out.left = r.left;
  out.top = r.top;
  out.right = r.right;
  out.bottom = r.bottom;
  return out;
}

}  // namespace velkin

#endif
