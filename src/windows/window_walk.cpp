#include "windows/window_walk.h"

#include <algorithm>
#include <limits>

namespace velkin {

namespace {

bool Excluded(const std::string& title, const ExclusionFilter& filter) {
  const int count = std::min(std::max(filter.count, 0), 20);
  for (int i = 0; i < count; ++i) {
    if (filter.titles[i] == title) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> CandidateTitles(SystemServices& sys, WindowHandle from, const ExclusionFilter* filter,
                                         std::size_t limit) {
  std::vector<std::string> titles;
  for (WindowHandle window = sys.FirstWindow(from); window != nullptr && titles.size() < limit;
       window = sys.NextWindow(window)) {
    if (!sys.WindowVisible(window)) continue;
    const std::string title = sys.WindowTitle(window);
    if (title.empty()) continue;
    if (sys.WindowOwned(window)) continue;
    if (title == "Program Manager") continue;
    if (filter != nullptr && Excluded(title, *filter)) continue;
    titles.push_back(title);
  }
  return titles;
}

void MinimizeByTitle(SystemServices& sys, const std::string& title) {
  // A slot that was never filled has no title: an empty title would find some untitled window,
  // the bar itself among them.
  if (title.empty()) return;
  const WindowHandle window = sys.FindWindowByTitle(title);
  if (window != nullptr) sys.ShowMinimized(window);
}

void MinimizeAllWindows(SystemServices& sys, WindowHandle from, const ExclusionFilter& filter) {
  const std::vector<std::string> titles =
      CandidateTitles(sys, from, &filter, std::numeric_limits<std::size_t>::max());
  for (const std::string& title : titles) MinimizeByTitle(sys, title);
}

}  // namespace velkin
