// Feeds arbitrary bytes to the readers of the two files. Whatever a file holds, reading it must
// not fail and must give fields of the shapes the program relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  velkin::StoredSettings settings;
  if (velkin::ParseSettings(bytes, &settings)) {
    // A text field is at most one line buffer less its last byte, and one line.
    for (const std::string* name : {&settings.freeUnitName, &settings.totalUnitName}) {
      Check(name->size() <= 61);
      Check(name->find('\n') == std::string::npos);
      Check(name->find('\0') == std::string::npos);
    }
    // What is written back reads back to the same numbers.
    velkin::StoredSettings again;
    Check(velkin::ParseSettings(velkin::FormatSettings(settings), &again));
    Check(again.drive == settings.drive && again.freeUnit == settings.freeUnit &&
          again.totalUnit == settings.totalUnit && again.decimals == settings.decimals &&
          again.interval == settings.interval && again.memoryUnit == settings.memoryUnit);
    Check(again.freeUnitName == settings.freeUnitName.substr(0, again.freeUnitName.size()));
  }

  const velkin::ExclusionList list = velkin::ParseExclusionList(bytes);
  const std::vector<std::string> entries = list.Titles();
  Check(entries.size() <= static_cast<size_t>(velkin::ExclusionList::kCapacity));
  for (const std::string& entry : entries) {
    Check(!entry.empty());
    Check(entry.find('\n') == std::string::npos);
    Check(entry.find('\0') == std::string::npos);
  }
  // The list written back reads back whole.
  const std::string written = velkin::FormatExclusionList(list);
  Check(velkin::ParseExclusionList(written).Titles() == entries);
  return 0;
}
