// Reading a loaded module's export directory by number must find what the loader finds.
#include "system/pe_exports.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// The number under which our reading finds `function` in `module`'s exports, or 0.
WORD OrdinalOf(HMODULE module, FARPROC function) {
  for (WORD ordinal = 1; ordinal < 2000; ++ordinal) {
    if (ExportByOrdinal(module, ordinal) == function) return ordinal;
  }
  return 0;
}

TEST(ExportByOrdinal, FindsWhatTheLoaderFinds) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  ASSERT_NE(kernel, nullptr);
  const BYTE* base = reinterpret_cast<const BYTE*>(kernel);
  const IMAGE_NT_HEADERS* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const BYTE* end = base + nt->OptionalHeader.SizeOfImage;
  int compared = 0, forwarded = 0;
  for (WORD ordinal = 1; ordinal < 2000; ++ordinal) {
    const FARPROC ours = ExportByOrdinal(kernel, ordinal);
    EXPECT_EQ(ours, GetProcAddress(kernel, MAKEINTRESOURCEA(ordinal))) << ordinal;
    if (ours == nullptr) continue;
    ++compared;
    // Outside KERNEL32's image: a forwarder, followed into the module it names.
    const BYTE* address = reinterpret_cast<const BYTE*>(ours);
    if (address < base || address >= end) ++forwarded;
  }
  EXPECT_GT(compared, 100);
  EXPECT_GT(forwarded, 10);  // Wine's KERNEL32 forwards much of itself to KERNELBASE and NTDLL
  // A named export found both ways.
  EXPECT_NE(OrdinalOf(kernel, GetProcAddress(kernel, "GetTickCount")), 0);
}

TEST(ExportByOrdinal, NothingOutsideTheTable) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  EXPECT_EQ(ExportByOrdinal(kernel, 0), nullptr);
  EXPECT_EQ(ExportByOrdinal(kernel, 0xFFFF), nullptr);
  EXPECT_EQ(ExportByOrdinal(nullptr, 35), nullptr);
  // The program itself exports nothing.
  EXPECT_EQ(ExportByOrdinal(GetModuleHandleA(nullptr), 1), nullptr);
}

// A module image in memory whose exports, from number 1 on, are the given forwarder texts.
class ForwardingModule {
 public:
  explicit ForwardingModule(const std::vector<const char*>& forwarders) : image_(0x2000) {
    BYTE* base = image_.data();
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    dos->e_magic = IMAGE_DOS_SIGNATURE;
    dos->e_lfanew = 0x80;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + 0x80);
    nt->Signature = IMAGE_NT_SIGNATURE;
    nt->OptionalHeader.SizeOfImage = static_cast<DWORD>(image_.size());
    nt->OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    directory.VirtualAddress = 0x400;
    directory.Size = 0x1000;
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + 0x400);
    exports->Base = 1;
    exports->NumberOfFunctions = static_cast<DWORD>(forwarders.size());
    exports->AddressOfFunctions = 0x500;
    DWORD text = 0x600;
    for (size_t i = 0; i < forwarders.size(); ++i) {
      reinterpret_cast<DWORD*>(base + 0x500)[i] = text;
      std::strcpy(reinterpret_cast<char*>(base + text), forwarders[i]);
      text += static_cast<DWORD>(std::strlen(forwarders[i]) + 1);
    }
  }
  HMODULE module() { return reinterpret_cast<HMODULE>(image_.data()); }
  IMAGE_NT_HEADERS* headers() { return reinterpret_cast<IMAGE_NT_HEADERS*>(image_.data() + 0x80); }
  IMAGE_EXPORT_DIRECTORY* exports() { return reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(image_.data() + 0x400); }
  DWORD* functions() { return reinterpret_cast<DWORD*>(image_.data() + 0x500); }

 private:
  std::vector<BYTE> image_;
};

TEST(ExportByOrdinal, FollowsForwardersByNameAndNumberAndRefusesBadOnes) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  const FARPROC tick = GetProcAddress(kernel, "GetTickCount");
  const WORD tickOrdinal = OrdinalOf(kernel, tick);
  ASSERT_NE(tickOrdinal, 0);
  const std::string byNumber = "kernel32.#" + std::to_string(tickOrdinal);
  struct Row { const char* forwarder; FARPROC want; } rows[] = {
      {"KERNEL32.GetTickCount", tick},   // by name
      {"kernel32.dll.GetTickCount", tick},  // the module name has its extension
      {byNumber.c_str(), tick},          // by number
      {"NOSUCHMODULE.GetTickCount", nullptr},
      {"KERNEL32.NoSuchFunction", nullptr},
      {"KERNEL32.", nullptr},
      {".GetTickCount", nullptr},
      {"GetTickCount", nullptr},
      {"KERNEL32.#", nullptr},
      {"KERNEL32.#12x", nullptr},
      {"KERNEL32.#99999999", nullptr},
  };
  std::vector<const char*> texts;
  for (const Row& row : rows) texts.push_back(row.forwarder);
  ForwardingModule module(texts);
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(ExportByOrdinal(module.module(), static_cast<WORD>(i + 1)), rows[i].want) << rows[i].forwarder;
  }
}

// The first and last numbers of a table and those just outside it, read from KERNEL32's own
// export directory: an address inside the image is the code the table gives; a forwarder is
// followed to where the loader finds it.
TEST(ExportByOrdinal, TheEdgesOfTheTable) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  const BYTE* base = reinterpret_cast<const BYTE*>(kernel);
  const IMAGE_NT_HEADERS* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  const DWORD* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  const DWORD first = exports->Base, last = exports->Base + exports->NumberOfFunctions - 1;
  ASSERT_GT(exports->NumberOfFunctions, 1u);
  ASSERT_LT(last, 0xFFFFu);
  const auto forwarded = [&](DWORD rva) { return rva - directory.VirtualAddress < directory.Size; };
  DWORD firstForwarded = first;
  while (firstForwarded <= last && !forwarded(functions[firstForwarded - first])) ++firstForwarded;
  ASSERT_LE(firstForwarded, last) << "Wine's KERNEL32 forwards some of itself";
  const auto fromTable = [&](DWORD ordinal) -> FARPROC {
    if (ordinal < first || ordinal > last || functions[ordinal - first] == 0) return nullptr;
    const DWORD rva = functions[ordinal - first];
    return forwarded(rva) ? GetProcAddress(kernel, MAKEINTRESOURCEA(ordinal))
                          : reinterpret_cast<FARPROC>(const_cast<BYTE*>(base + rva));
  };
  const struct { const char* name; DWORD ordinal; } rows[] = {
      {"the base", first}, {"the last", last}, {"one past the last", last + 1},
      {"one below the base", first - 1}, {"the first forwarder", firstForwarded}};
  for (const auto& row : rows) {
    if (row.ordinal > 0xFFFF) continue;  // a base of 0 has nothing below it
    EXPECT_EQ(ExportByOrdinal(kernel, static_cast<WORD>(row.ordinal)), fromTable(row.ordinal))
        << row.name << ", " << row.ordinal;
  }
  EXPECT_NE(fromTable(firstForwarded), nullptr);

  // The same edges of a table that does not start at 1 and is followed by more addresses.
  ForwardingModule module({"KERNEL32.GetTickCount", "KERNEL32.GetTickCount", "KERNEL32.GetTickCount"});
  module.exports()->Base = 100;
  module.exports()->NumberOfFunctions = 2;
  const FARPROC tick = GetProcAddress(kernel, "GetTickCount");
  EXPECT_EQ(ExportByOrdinal(module.module(), 99), nullptr);
  EXPECT_EQ(ExportByOrdinal(module.module(), 100), tick);
  EXPECT_EQ(ExportByOrdinal(module.module(), 101), tick);
  EXPECT_EQ(ExportByOrdinal(module.module(), 102), nullptr);
}

// A module whose headers point outside itself answers nothing, whatever lies beyond it.
TEST(ExportByOrdinal, RefusesWhatLiesOutsideTheModule) {
  struct Row { const char* name; void (*damage)(ForwardingModule&); } rows[] = {
      {"headers past the image", [](ForwardingModule& m) { reinterpret_cast<IMAGE_DOS_HEADER*>(m.module())->e_lfanew = 0x7FFFFF00; }},
      {"export directory past the image", [](ForwardingModule& m) { m.headers()->OptionalHeader.DataDirectory[0].VirtualAddress = 0x1F80; }},
      {"code address past the image", [](ForwardingModule& m) { m.functions()[0] = 0x2000; }},
      {"function table past the image", [](ForwardingModule& m) { m.exports()->AddressOfFunctions = 0x1FFE; }},
      {"function table longer than the image", [](ForwardingModule& m) { m.exports()->NumberOfFunctions = 0x40000001; }},
      {"forwarder text running off the directory", [](ForwardingModule& m) { m.headers()->OptionalHeader.DataDirectory[0].Size = 0x20C; }},
  };
  for (const Row& row : rows) {
    ForwardingModule module({"KERNEL32.GetTickCount"});
    ASSERT_NE(ExportByOrdinal(module.module(), 1), nullptr) << "undamaged, before " << row.name;
    row.damage(module);
    EXPECT_EQ(ExportByOrdinal(module.module(), 1), nullptr) << row.name;
  }
}

}  // namespace
