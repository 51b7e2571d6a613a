#include "platform/pe_exports.h"

FARPROC ExportByOrdinal(HMODULE module, WORD ordinal) {
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
  if (rva >= directory.VirtualAddress && rva < directory.VirtualAddress + directory.Size) return nullptr;
  return reinterpret_cast<FARPROC>(const_cast<BYTE*>(base + rva));
}
