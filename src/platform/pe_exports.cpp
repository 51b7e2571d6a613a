#include "platform/pe_exports.h"

#include <string>

namespace {

// Forwarders can name forwarders; a chain longer than this is taken for a loop.
constexpr int kForwardLimit = 8;

FARPROC FollowForwarder(const char* forwarder, int depth);

FARPROC Export(HMODULE module, WORD ordinal, int depth) {
  if (module == nullptr) return nullptr;
  const BYTE* base = reinterpret_cast<const BYTE*>(module);
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  if (nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT) return nullptr;
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0 || directory.Size == 0) return nullptr;
  const IMAGE_EXPORT_DIRECTORY* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  if (ordinal < exports->Base) return nullptr;
  const DWORD index = ordinal - exports->Base;
  if (index >= exports->NumberOfFunctions) return nullptr;
  const DWORD rva = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions)[index];
  if (rva == 0) return nullptr;
  // An address inside the export directory is the text of a forwarder, not code.
  if (rva >= directory.VirtualAddress && rva < directory.VirtualAddress + directory.Size) {
    return FollowForwarder(reinterpret_cast<const char*>(base + rva), depth + 1);
  }
  return reinterpret_cast<FARPROC>(const_cast<BYTE*>(base + rva));
}

FARPROC FollowForwarder(const char* forwarder, int depth) {
  if (depth > kForwardLimit) return nullptr;
  const std::string text(forwarder);
  const std::string::size_type dot = text.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) return nullptr;
  std::string moduleName = text.substr(0, dot);
  if (moduleName.find('.') == std::string::npos) moduleName += ".dll";
  const std::string function = text.substr(dot + 1);
  // The loader keeps a module it loaded for a forwarder as long as the process runs; so does
  // this lookup.
  HMODULE target = GetModuleHandleA(moduleName.c_str());
  if (target == nullptr) target = LoadLibraryA(moduleName.c_str());
  if (target == nullptr) return nullptr;
  if (function[0] == '#') {
    DWORD number = 0;
    for (std::string::size_type i = 1; i < function.size(); ++i) {
      if (function[i] < '0' || function[i] > '9' || number > 0xFFFF) return nullptr;
      number = number * 10 + static_cast<DWORD>(function[i] - '0');
    }
    if (function.size() == 1 || number > 0xFFFF) return nullptr;
    return Export(target, static_cast<WORD>(number), depth);
  }
  return GetProcAddress(target, function.c_str());
}

}  // namespace

FARPROC ExportByOrdinal(HMODULE module, WORD ordinal) { return Export(module, ordinal, 0); }
