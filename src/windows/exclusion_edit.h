// The rules by which the exclusion dialog's working list and the panel's list meet.
#ifndef VELKIN_WINDOWS_EXCLUSION_EDIT_H
#define VELKIN_WINDOWS_EXCLUSION_EDIT_H

#include <cstdint>
#include <string>
#include <vector>

namespace velkin {

constexpr int32_t kExclusionLimit = 20;

// The panel's list rebuilt from the working list: its non-empty entries in order, the rest
// emptied. Returns the count.
int32_t RebuildExclusionList(const std::string (&working)[kExclusionLimit], std::string (&list)[kExclusionLimit]);

// The working list taken from the list box's entries, in the list box's order: at most 20, the
// rest emptied. Returns the count.
int32_t TakeWorkingList(const std::vector<std::string>& box, std::string (&working)[kExclusionLimit]);

// The number of working-list entries in use (the non-empty ones).
int32_t CountInUse(const std::string (&working)[kExclusionLimit]);

// Whether a list box holding `count` entries may take one more.
inline bool CanAddExclusion(int32_t count) { return count < kExclusionLimit; }

}  // namespace velkin

#endif
