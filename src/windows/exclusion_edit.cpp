#include "windows/exclusion_edit.h"

namespace velkin {

int32_t RebuildExclusionList(const std::string (&working)[kExclusionLimit], std::string (&list)[kExclusionLimit]) {
  int32_t count = 0;
  for (std::string& entry : list) entry.clear();
  for (const std::string& entry : working) {
    if (!entry.empty()) list[count++] = entry;
  }
  return count;
}

int32_t TakeWorkingList(const std::vector<std::string>& box, std::string (&working)[kExclusionLimit]) {
  int32_t count = 0;
  for (std::string& entry : working) entry.clear();
  for (const std::string& entry : box) {
    if (count == kExclusionLimit) break;
    working[count++] = entry;
  }
  return count;
}

int32_t CountInUse(const std::string (&working)[kExclusionLimit]) {
  int32_t count = 0;
  for (const std::string& entry : working) count += entry.empty() ? 0 : 1;
  return count;
}

}  // namespace velkin
