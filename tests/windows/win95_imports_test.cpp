// The 32-bit program's own forms of the wide kernel functions must do what the real ones do.
#include "platform/win95_imports.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Win95Imports, GetModuleHandleFindsTheSameModules) {
  EXPECT_EQ(velkin_GetModuleHandleW(nullptr), GetModuleHandleA(nullptr));
  EXPECT_EQ(velkin_GetModuleHandleW(L"kernel32.dll"), GetModuleHandleA("kernel32.dll"));
  EXPECT_NE(velkin_GetModuleHandleW(L"KERNEL32"), nullptr);
  EXPECT_EQ(velkin_GetModuleHandleW(L"no-such-module-here.dll"), nullptr);
  // A name too long for any path fails cleanly instead of overflowing.
  const std::wstring longName(5000, L'a');
  EXPECT_EQ(velkin_GetModuleHandleW(longName.c_str()), nullptr);
}

TEST(Win95Imports, LoadLibraryLoadsAndRefusesLikeTheRealOne) {
  HMODULE advapi = velkin_LoadLibraryW(L"advapi32.dll");
  ASSERT_NE(advapi, nullptr);
  EXPECT_EQ(advapi, GetModuleHandleA("advapi32.dll"));
  FreeLibrary(advapi);
  EXPECT_EQ(velkin_LoadLibraryW(L"no-such-library-here.dll"), nullptr);
  EXPECT_EQ(velkin_LoadLibraryW(nullptr), nullptr);
}

TEST(Win95Imports, CreateSemaphoreMakesWorkingSemaphores) {
  HANDLE anonymous = velkin_CreateSemaphoreW(nullptr, 1, 1, nullptr);
  ASSERT_NE(anonymous, nullptr);
  EXPECT_EQ(WaitForSingleObject(anonymous, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(anonymous, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseSemaphore(anonymous, 1, nullptr));
  CloseHandle(anonymous);

  HANDLE named = velkin_CreateSemaphoreW(nullptr, 0, 2, L"VelkinTestSemaphore");
  ASSERT_NE(named, nullptr);
  HANDLE same = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "VelkinTestSemaphore");
  ASSERT_NE(same, nullptr) << "the name reached the system";
  EXPECT_TRUE(ReleaseSemaphore(same, 1, nullptr));
  EXPECT_EQ(WaitForSingleObject(named, 0), WAIT_OBJECT_0);
  CloseHandle(same);
  CloseHandle(named);
}

}  // namespace
