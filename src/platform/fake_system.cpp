#include "platform/fake_system.h"

#include <algorithm>

namespace velkin {

FakeSystem::Bar* FakeSystem::Find(WindowHandle hWnd) {
  for (Bar& bar : bars) {
    if (bar.hWnd == hWnd) return &bar;
  }
  return nullptr;
}

const FakeSystem::Bar* FakeSystem::FindBar(WindowHandle hWnd) const {
  for (const Bar& bar : bars) {
    if (bar.hWnd == hWnd) return &bar;
  }
  return nullptr;
}

std::size_t FakeSystem::CountCalls(uint32_t message) const {
  return static_cast<std::size_t>(std::count_if(
      appBarCalls.begin(), appBarCalls.end(),
      [message](const AppBarCall& call) { return call.message == message; }));
}

void FakeSystem::AddPlacedBar(WindowHandle hWnd, uint32_t edge, Rect rc) {
  bars.push_back(Bar{hWnd, 0, edge, rc, true});
}

void FakeSystem::Adjust(WindowHandle asking, uint32_t edge, Rect& rc) const {
  rc.left = std::max(rc.left, 0);
  rc.top = std::max(rc.top, 0);
  rc.right = std::min(rc.right, screen.cx);
  rc.bottom = std::min(rc.bottom, screen.cy);
  for (const Bar& other : bars) {
    if (other.hWnd == asking || !other.placed || other.edge != edge) continue;
    switch (edge) {
      case kEdgeLeft: rc.left = std::max(rc.left, other.rc.right); break;
      case kEdgeTop: rc.top = std::max(rc.top, other.rc.bottom); break;
      case kEdgeRight: rc.right = std::min(rc.right, other.rc.left); break;
      case kEdgeBottom: rc.bottom = std::min(rc.bottom, other.rc.top); break;
      default: break;
    }
  }
}

uintptr_t FakeSystem::AppBarMessage(uint32_t message, AppBarRecord& data) {
  AppBarCall call{message, data, data, 0};
  Bar* bar = Find(data.hWnd);
  switch (message) {
    case kAbmNew:
      if (bar == nullptr) {
        bars.push_back(Bar{data.hWnd, data.uCallbackMessage, data.uEdge, Rect{}, false});
        call.result = 1;
      } else {
        call.result = refuseSecondRegistration ? 0 : 1;
      }
      break;
    case kAbmRemove:
      if (bar != nullptr) {
        bars.erase(bars.begin() + (bar - bars.data()));
        call.result = 1;
      }
      break;
    case kAbmQueryPos:
      if (bar != nullptr) {
        Adjust(data.hWnd, data.uEdge, data.rc);
        call.result = 1;
      }
      break;
    case kAbmSetPos:
      if (bar != nullptr) {
        Adjust(data.hWnd, data.uEdge, data.rc);
        bar->edge = data.uEdge;
        bar->rc = data.rc;
        bar->placed = true;
        call.result = 1;
      }
      break;
    default:
      call.result = bar != nullptr ? 1 : 0;
      break;
  }
  call.answered = data;
  appBarCalls.push_back(call);
  return call.result;
}

}  // namespace velkin
