// The Windows tests run the real window classes under Wine (or Windows) on the scripted machine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  InitCommonControls();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
