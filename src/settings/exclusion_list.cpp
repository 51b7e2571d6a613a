#include "settings/exclusion_list.h"

namespace velkin {

ExclusionList::ExclusionList(const std::vector<std::string>& titles) {
  for (const std::string& title : titles) {
    if (count_ == kCapacity) break;
    if (!title.empty()) titles_[count_++] = title;
  }
}

bool ExclusionList::Contains(const std::string& title) const {
  for (const std::string& excluded : *this) {
    if (excluded == title) return true;
  }
  return false;
}

}  // namespace velkin
