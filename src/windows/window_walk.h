// The one rule by which the program picks other applications' windows among the top-level
// windows, and the minimize commands built on it.
#ifndef VELKIN_WINDOWS_WINDOW_WALK_H
#define VELKIN_WINDOWS_WINDOW_WALK_H

#include <cstddef>
#include <string>
#include <vector>

#include "system/system.h"
#include "settings/exclusion_list.h"

namespace velkin {


struct Candidate {
  WindowHandle window;
  std::string title;
};

// The candidate windows, from the top of the stacking order down, at most `limit` of them. A
// window is a candidate when it is visible, has a title, has no owner, is not titled exactly
// "Program Manager" and, given a list (nullptr: none), its title is not exactly one of the
// excluded ones. `from` is any top-level window (the walk starts at the first of them).
std::vector<Candidate> Candidates(SystemServices& sys, WindowHandle from, const ExclusionList* excluded,
                                  std::size_t limit);
// Their titles.
std::vector<std::string> CandidateTitles(SystemServices& sys, WindowHandle from, const ExclusionList* excluded,
                                         std::size_t limit);

// The topmost window whose title, read as the walk reads titles, is exactly `title` (case and
// all; hidden and owned windows too); null when none has it, or when the title is empty. `from`
// is any top-level window, as for Candidates.
WindowHandle TopmostTitled(SystemServices& sys, WindowHandle from, const std::string& title);

// Minimizes a window the menu listed: that window while it still shows the title it was listed
// with; otherwise, closed or retitled, the topmost window that now shows that title; otherwise
// nothing. The window itself comes first because a title read through a code page may not find
// it again: on NT a letter that code page 932 lacks reads as a stand-in, which no window has.
void MinimizeListed(SystemServices& sys, WindowHandle from, const Candidate& listed);

// Minimizes every candidate window present now, with the exclusion filter. The candidates are
// taken first and then minimized one by one, because each minimize activates a window and
// reorders the windows under a walk. Each is minimized only if it still bears the title it was
// taken with; it is not looked up again by title, since a lookup would find another window of
// that title (a hidden one, one spelled in other case, an excluded one) or the same twin twice.
void MinimizeAllWindows(SystemServices& sys, WindowHandle from, const ExclusionList& excluded);

}  // namespace velkin

#endif
