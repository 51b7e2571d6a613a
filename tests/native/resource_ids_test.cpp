// No two numbers of one kind may collide: two controls with one ID, or a control and a menu
// command with one number, would reach the same handler.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "panel/panel_layout.h"
#include "res/resource.h"

namespace {

struct Id {
  const char* name;
  int value;
};

#define ID(x) {#x, x}

const std::vector<Id> kCommandSpace = {
    ID(IDC_RESTARTWINDOWS), ID(IDC_RESTARTSYSTEM), ID(IDC_SHUTDOWN), ID(IDC_MINIMIZEALL),
    ID(IDC_FREESPACE_LABEL), ID(IDC_TOTALCAP_LABEL), ID(IDC_FREESPACE_VALUE),
    ID(IDC_TOTALCAP_VALUE), ID(IDC_RESOURCE_LABEL), ID(IDC_MEMORY_LABEL), ID(IDC_RESOURCE_VALUE),
    ID(IDC_MEMORY_VALUE), ID(IDC_INTERVAL), ID(IDC_DRIVE), ID(IDC_INTERVAL_CAPTION),
    ID(IDC_DRIVE_CAPTION), ID(IDC_EXIT), ID(IDC_SUSPEND), ID(ID_MEMUNIT_BYTES),
    ID(ID_MEMUNIT_KBYTES), ID(ID_APP_EXIT_MENU), ID(ID_FREEUNIT_BYTES), ID(ID_FREEUNIT_KBYTES),
    ID(ID_FREEUNIT_MBYTES), ID(ID_FREEUNIT_GBYTES), ID(ID_TOTALUNIT_BYTES),
    ID(ID_TOTALUNIT_KBYTES), ID(ID_TOTALUNIT_MBYTES), ID(ID_TOTALUNIT_GBYTES),
    ID(ID_MEMUNIT_MBYTES), ID(ID_DECIMALS_0), ID(ID_DECIMALS_1), ID(ID_DECIMALS_2),
    ID(ID_DECIMALS_3), ID(ID_DECIMALS_4), ID(ID_WINVERSION), ID(ID_ABOUT),
    ID(ID_RESTARTWINDOWS_MENU), ID(ID_SHUTDOWN_MENU), ID(ID_RESTARTSYSTEM_MENU),
    ID(ID_MINIMIZEALL_MENU), ID(ID_SUSPEND_MENU), ID(ID_EDIT_EXCLUSIONS),
};
const std::vector<Id> kIcons = {ID(IDI_APP), ID(IDI_MINIMIZEALL), ID(IDI_RESTARTSYSTEM),
                                ID(IDI_SHUTDOWN), ID(IDI_SUSPEND), ID(IDI_RESTARTWINDOWS),
                                ID(IDI_EXIT)};
const std::vector<Id> kDialogs = {ID(IDD_ABOUTBOX), ID(IDD_WINVERSION), ID(IDD_EXCLUDELIST),
                                  ID(IDD_WINDOWPICK)};

void ExpectDistinct(const std::vector<Id>& ids, int first = 0, int last = 0) {
  std::map<int, std::string> seen;
  for (const Id& id : ids) {
    auto inserted = seen.emplace(id.value, id.name);
    EXPECT_TRUE(inserted.second) << id.name << " has the number of " << inserted.first->second;
  }
  // The ten minimize slots are commands too.
  for (int slot = first; first != 0 && slot <= last; ++slot) {
    EXPECT_EQ(seen.count(slot), 0u) << "minimize slot " << slot << " is taken by " << seen[slot];
  }
}

TEST(ResourceIds, CommandsAndControlsDoNotCollide) {
  ExpectDistinct(kCommandSpace, ID_MINIMIZE_SLOT_FIRST, ID_MINIMIZE_SLOT_LAST);
  EXPECT_EQ(ID_MINIMIZE_SLOT_LAST - ID_MINIMIZE_SLOT_FIRST + 1, 10);
}

TEST(ResourceIds, IconsAndDialogsDoNotCollide) {
  ExpectDistinct(kIcons);
  ExpectDistinct(kDialogs);
}

TEST(ResourceIds, EveryPanelControlAndButtonIconIsNamed) {
  for (const velkin::PanelControl& place : velkin::kPanelControls) {
    bool named = false;
    for (const Id& id : kCommandSpace) named = named || id.value == place.id;
    EXPECT_TRUE(named) << place.id;
    if (place.icon == 0) continue;
    bool icon = false;
    for (const Id& id : kIcons) icon = icon || id.value == place.icon;
    EXPECT_TRUE(icon) << place.icon;
    EXPECT_NE(place.icon, IDI_APP) << "the application icon is not a button's";
  }
}

}  // namespace
