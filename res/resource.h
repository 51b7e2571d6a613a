// The one numbered map of the program's resources, controls and commands.
// Shared by the resource script and the code; tests/native/resource_ids_test.cpp checks that
// no two numbers of one kind collide.
#ifndef VELKIN_RES_RESOURCE_H
#define VELKIN_RES_RESOURCE_H

// Controls nothing refers to.
#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

// Dialog templates.
#define IDD_ABOUTBOX            100
#define IDD_WINVERSION          134
#define IDD_EXCLUDELIST         145
#define IDD_WINDOWPICK          146

// Menu.
#define IDR_CONTEXTMENU         130

// Icons.
#define IDI_APP                 128
#define IDI_MINIMIZEALL         129
#define IDI_RESTARTSYSTEM       130
#define IDI_SHUTDOWN            131
#define IDI_SUSPEND             132
#define IDI_RESTARTWINDOWS      133
#define IDI_EXIT                135

// Controls of the panel.
#define IDC_RESTARTWINDOWS      102
#define IDC_RESTARTSYSTEM       103
#define IDC_SHUTDOWN            104
#define IDC_MINIMIZEALL         105
#define IDC_FREESPACE_LABEL     106
#define IDC_TOTALCAP_LABEL      107
#define IDC_FREESPACE_VALUE     108
#define IDC_TOTALCAP_VALUE      109
#define IDC_RESOURCE_LABEL      110
#define IDC_MEMORY_LABEL        111
#define IDC_RESOURCE_VALUE      112
#define IDC_MEMORY_VALUE        113
#define IDC_INTERVAL            114
#define IDC_DRIVE               115
#define IDC_INTERVAL_CAPTION    116
#define IDC_DRIVE_CAPTION       117
#define IDC_EXIT                118
#define IDC_SUSPEND             119

// Controls of the version dialog.
#define IDC_VERSION_OK          101
#define IDC_VERSION_TEXT        1002
#define IDC_DISKSUPPORT_TEXT    1003
#define IDC_SUSPENDSUPPORT_TEXT 1014

// Controls of the exclusion-list dialog and the window picker.
#define IDC_TITLE_LIST          1015
#define IDC_ADD                 1016
#define IDC_DELETE              1017
#define IDC_CLOSE_LIST          1018
#define IDC_SELECT              1017
#define IDC_PICK_CANCEL         1018

// Menu commands.
#define ID_MEMUNIT_BYTES        32771
#define ID_MEMUNIT_KBYTES       32772
#define ID_APP_EXIT_MENU        32773
#define ID_FREEUNIT_BYTES       32774
#define ID_FREEUNIT_KBYTES      32775
#define ID_FREEUNIT_MBYTES      32776
#define ID_FREEUNIT_GBYTES      32777
#define ID_TOTALUNIT_BYTES      32778
#define ID_TOTALUNIT_KBYTES     32779
#define ID_TOTALUNIT_MBYTES     32780
#define ID_TOTALUNIT_GBYTES     32781
#define ID_MEMUNIT_MBYTES       32782
#define ID_DECIMALS_0           32783
#define ID_DECIMALS_1           32784
#define ID_DECIMALS_2           32785
#define ID_DECIMALS_3           32786
#define ID_DECIMALS_4           32787
#define ID_WINVERSION           32789
#define ID_ABOUT                32790
#define ID_RESTARTWINDOWS_MENU  32791
#define ID_SHUTDOWN_MENU        32792
#define ID_RESTARTSYSTEM_MENU   32796
#define ID_MINIMIZE_SLOT_FIRST  32797
#define ID_MINIMIZE_SLOT_LAST   32806
#define ID_MINIMIZEALL_MENU     32807
#define ID_SUSPEND_MENU         32808
#define ID_EDIT_EXCLUSIONS      32810

#endif
