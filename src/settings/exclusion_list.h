// The titles of the applications never to minimize: the panel's list, which nonapp.dat keeps,
// and the exclusion dialog's working list.
#ifndef VELKIN_SETTINGS_EXCLUSION_LIST_H
#define VELKIN_SETTINGS_EXCLUSION_LIST_H

#include <cstdint>
#include <string>
#include <vector>

namespace velkin {

// At most kCapacity titles in order, none empty; duplicates are kept.
class ExclusionList {
 public:
  static constexpr int32_t kCapacity = 20;

  ExclusionList() = default;
  // The non-empty titles of `titles` in order, as many as fit.
  explicit ExclusionList(const std::vector<std::string>& titles);

  int32_t Count() const { return count_; }
  const std::string& operator[](int32_t index) const { return titles_[index]; }
  const std::string* begin() const { return titles_; }
  const std::string* end() const { return titles_ + count_; }
  // Whether `title` is one of the titles, exactly (case and all).
  bool Contains(const std::string& title) const;
  std::vector<std::string> Titles() const { return std::vector<std::string>(begin(), end()); }
  // Whether a list holding `count` titles may take one more.
  static bool CanAdd(int32_t count) { return count < kCapacity; }

 private:
  std::string titles_[kCapacity];
  int32_t count_ = 0;
};

}  // namespace velkin

#endif
