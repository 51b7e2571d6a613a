#include "windows/window_walk.h"

#include <utility>
#include <limits>

namespace velkin {

std::vector<Candidate> Candidates(SystemServices& sys, WindowHandle from, const ExclusionList* excluded,
                                  std::size_t limit) {
  std::vector<Candidate> candidates;
  for (WindowHandle window = sys.FirstWindow(from); window != nullptr && candidates.size() < limit;
       window = sys.NextWindow(window)) {
    if (!sys.WindowVisible(window)) continue;
    std::string title = sys.WindowTitle(window);
    if (title.empty()) continue;
    if (sys.WindowOwned(window)) continue;
    if (title == "Program Manager") continue;
    if (excluded != nullptr && excluded->Contains(title)) continue;
    candidates.push_back(Candidate{window, std::move(title)});
  }
  return candidates;
}

std::vector<std::string> CandidateTitles(SystemServices& sys, WindowHandle from, const ExclusionList* excluded,
                                         std::size_t limit) {
  std::vector<std::string> titles;
  for (Candidate& candidate : Candidates(sys, from, excluded, limit)) titles.push_back(std::move(candidate.title));
  return titles;
}

WindowHandle TopmostTitled(SystemServices& sys, WindowHandle from, const std::string& title) {
  // An empty title would find some untitled window, the bar itself among them.
  if (title.empty()) return nullptr;
  for (WindowHandle window = sys.FirstWindow(from); window != nullptr; window = sys.NextWindow(window)) {
    if (sys.WindowTitle(window) == title) return window;
  }
  return nullptr;
}

void MinimizeListed(SystemServices& sys, WindowHandle from, const Candidate& listed) {
  // A slot that was never filled has no title.
  if (listed.title.empty()) return;
  WindowHandle window = listed.window;
  if (window == nullptr || sys.WindowTitle(window) != listed.title) window = TopmostTitled(sys, from, listed.title);
  if (window != nullptr) sys.ShowMinimized(window);
}

void MinimizeAllWindows(SystemServices& sys, WindowHandle from, const ExclusionList& excluded) {
  for (const Candidate& candidate : Candidates(sys, from, &excluded, std::numeric_limits<std::size_t>::max())) {
    // A window closed or retitled meanwhile is passed over.
    if (sys.WindowTitle(candidate.window) == candidate.title) sys.ShowMinimized(candidate.window);
  }
}

}  // namespace velkin
