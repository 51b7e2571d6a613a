#include "system/pe_exports.h"

#include <string>

namespace {

// Forwarders can name forwarders; a chain longer than this is taken for a loop.
constexpr int kForwardLimit = 8;

FARPROC FollowForwarder(const char* forwarder, int depth);

// True when the `size` bytes at `rva` lie inside an image of `imageSize` bytes.
bool Inside(DWORD rva, DWORD size, DWORD imageSize) { return rva <= imageSize && size <= imageSize - rva; }

FARPROC Export(HMODULE module, WORD ordinal, int depth) {
  if (module == nullptr) return nullptr;
  // Every offset the headers give is checked against the image before it is followed: a
  // damaged or hostile module answers nothing rather than sending the reader outside it.
  const BYTE* base = reinterpret_cast<const BYTE*>(module);
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  // SizeOfImage is read only once the headers are known to lie in the first page, which every
  // loaded image has.
  constexpr DWORD kHeaderPage = 0x1000;
  const DWORD ntOffset = static_cast<DWORD>(dos->e_lfanew);
  if (dos->e_lfanew < 0 || !Inside(ntOffset, sizeof(IMAGE_NT_HEADERS), kHeaderPage)) return nullptr;
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + ntOffset);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const DWORD imageSize = nt->OptionalHeader.SizeOfImage;
  if (!Inside(ntOffset, sizeof(IMAGE_NT_HEADERS), imageSize)) return nullptr;
  if (nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT) return nullptr;
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0 || directory.Size < sizeof(IMAGE_EXPORT_DIRECTORY)) return nullptr;
  if (!Inside(directory.VirtualAddress, directory.Size, imageSize)) return nullptr;
  const IMAGE_EXPORT_DIRECTORY* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  if (ordinal < exports->Base) return nullptr;
  const DWORD index = ordinal - exports->Base;
  if (index >= exports->NumberOfFunctions) return nullptr;
  if (exports->NumberOfFunctions > imageSize / sizeof(DWORD) ||
      !Inside(exports->AddressOfFunctions, exports->NumberOfFunctions * sizeof(DWORD), imageSize)) {
    return nullptr;
  }
  const DWORD rva = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions)[index];
  if (rva == 0 || rva >= imageSize) return nullptr;
  // An address inside the export directory is the text of a forwarder, not code; its end must
  // be inside the directory too.
  const DWORD directoryEnd = directory.VirtualAddress + directory.Size;
  if (rva >= directory.VirtualAddress && rva < directoryEnd) {
    const char* text = reinterpret_cast<const char*>(base + rva);
    const DWORD room = directoryEnd - rva;
    DWORD length = 0;
    while (length < room && text[length] != '\0') ++length;
    if (length == room) return nullptr;
    return FollowForwarder(text, depth + 1);
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
