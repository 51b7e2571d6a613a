#include "appbar/appbar_data.h"

#include "system/system.h"

namespace velkin {

void CAppBarData::Init(WindowHandle hWnd, uint32_t edge, const Rect& rc, intptr_t lParam,
                       uint32_t callbackMessage) {
  abd.cbSize = sizeof(AppBarRecord);
  abd.hWnd = hWnd;
  abd.uCallbackMessage = callbackMessage;
  abd.uEdge = edge;
  abd.rc = rc;
  abd.lParam = lParam;
}

uintptr_t CAppBarData::Send(uint32_t message) { return sys_.AppBarMessage(message, abd); }

uintptr_t CAppBarData::Register() {
  registered_ = true;
  return Send(kAbmNew);
}

uintptr_t CAppBarData::Remove() {
  registered_ = false;
  return Send(kAbmRemove);
}

uintptr_t CAppBarData::QueryPos() { return Send(kAbmQueryPos); }
uintptr_t CAppBarData::SetPos() { return Send(kAbmSetPos); }
uintptr_t CAppBarData::Activate() { return Send(kAbmActivate); }
uintptr_t CAppBarData::WindowPosChanged() { return Send(kAbmWindowPosChanged); }

}  // namespace velkin
