#include "framework/text_edge.h"

namespace velkin {
namespace {

constexpr UINT kJapanese = 932;

// The ...W functions, found on the NT family only.
struct WideFunctions {
  BOOL(WINAPI* setWindowText)(HWND, LPCWSTR) = nullptr;
  int(WINAPI* getWindowText)(HWND, LPWSTR, int) = nullptr;
  int(WINAPI* getWindowTextLength)(HWND) = nullptr;
  LRESULT(WINAPI* sendMessage)(HWND, UINT, WPARAM, LPARAM) = nullptr;
  BOOL(WINAPI* modifyMenu)(HMENU, UINT, UINT, UINT_PTR, LPCWSTR) = nullptr;
  int(WINAPI* messageBox)(HWND, LPCWSTR, LPCWSTR, UINT) = nullptr;
  BOOL(WINAPI* systemParametersInfo)(UINT, UINT, PVOID, UINT) = nullptr;
  HFONT(WINAPI* createFontIndirect)(const LOGFONTW*) = nullptr;
  INT_PTR(WINAPI* dialogBoxParam)(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM) = nullptr;
};

template <typename Fn>
void Find(HMODULE module, const char* name, Fn& function) {
  function = module != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                               : nullptr;
}

bool OnWindowsNT() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// The functions, or null where the texts go through the ...A functions.
const WideFunctions* Wide() {
  static bool decided = false;
  static WideFunctions functions;
  static const WideFunctions* found = nullptr;
  if (decided) return found;
  decided = true;
  if (!OnWindowsNT()) return nullptr;
  // "あ": an NT without code page 932's tables cannot convert it.
  WCHAR probe[2] = {};
  if (MultiByteToWideChar(kJapanese, 0, "\x82\xa0", 2, probe, 2) != 1) return nullptr;
  const HMODULE user = GetModuleHandleA("USER32");
  const HMODULE gdi = GetModuleHandleA("GDI32");
  Find(user, "SetWindowTextW", functions.setWindowText);
  Find(user, "GetWindowTextW", functions.getWindowText);
  Find(user, "GetWindowTextLengthW", functions.getWindowTextLength);
  Find(user, "SendMessageW", functions.sendMessage);
  Find(user, "ModifyMenuW", functions.modifyMenu);
  Find(user, "MessageBoxW", functions.messageBox);
  Find(user, "SystemParametersInfoW", functions.systemParametersInfo);
  Find(gdi, "CreateFontIndirectW", functions.createFontIndirect);
  Find(user, "DialogBoxParamW", functions.dialogBoxParam);
  const bool all = functions.setWindowText && functions.getWindowText && functions.getWindowTextLength &&
                   functions.sendMessage && functions.modifyMenu && functions.messageBox &&
                   functions.systemParametersInfo && functions.createFontIndirect && functions.dialogBoxParam;
  found = all ? &functions : nullptr;
  return found;
}

}  // namespace

bool WideTexts() { return Wide() != nullptr; }

std::vector<wchar_t> WideFrom932(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  // A byte of code page 932 makes at most one UTF-16 unit.
  std::vector<wchar_t> wide(length + 1, L'\0');
  if (length > 0) {
    const int made = MultiByteToWideChar(kJapanese, 0, text, static_cast<int>(length), wide.data(),
                                         static_cast<int>(length));
    wide.resize(static_cast<size_t>(made > 0 ? made : 0) + 1);
    wide.back() = L'\0';
  }
  return wide;
}

std::string NarrowTo932(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  // A UTF-16 unit makes at most two bytes of code page 932.
  std::string narrow(length * 2, '\0');
  const int made = WideCharToMultiByte(kJapanese, 0, text, static_cast<int>(length), &narrow[0],
                                       static_cast<int>(narrow.size()), nullptr, nullptr);
  narrow.resize(made > 0 ? static_cast<size_t>(made) : 0);
  return narrow;
}

std::string WindowText(HWND window) {
  if (const WideFunctions* wide = Wide()) {
    const int length = wide->getWindowTextLength(window);
    if (length <= 0) return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const int copied = wide->getWindowText(window, buffer.data(), length + 1);
    return NarrowTo932(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
  }
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

BOOL SetWindowText932(HWND window, const char* text) {
  if (const WideFunctions* wide = Wide()) return wide->setWindowText(window, WideFrom932(text).data());
  return SetWindowTextA(window, text);
}

LRESULT SendText(HWND window, UINT message, WPARAM wParam, const char* text) {
  if (const WideFunctions* wide = Wide()) {
    const std::vector<wchar_t> converted = WideFrom932(text);
    // An entry that could not be converted is not added as an empty one, which a list read back
    // would keep in its place.
    if (text[0] != '\0' && converted.size() == 1) return LB_ERR;
    return wide->sendMessage(window, message, wParam, reinterpret_cast<LPARAM>(converted.data()));
  }
  return SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(text));
}

bool EntryText(HWND control, UINT lengthMessage, UINT textMessage, int index, std::string& text) {
  static_assert(CB_ERR == LB_ERR, "one answer for no such entry");
  text.clear();
  const WideFunctions* wide = Wide();
  const auto send = [&](UINT message, LPARAM lParam) {
    return wide != nullptr ? wide->sendMessage(control, message, static_cast<WPARAM>(index), lParam)
                           : SendMessageA(control, message, static_cast<WPARAM>(index), lParam);
  };
  const LRESULT length = send(lengthMessage, 0);
  if (length == LB_ERR) return false;
  if (wide != nullptr) {
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = send(textMessage, reinterpret_cast<LPARAM>(buffer.data()));
    if (copied == LB_ERR) return false;
    text = NarrowTo932(buffer.data(), static_cast<size_t>(copied));
    return copied == 0 || !text.empty();  // an entry that could not be converted is none
  }
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied = send(textMessage, reinterpret_cast<LPARAM>(buffer.data()));
  if (copied == LB_ERR) return false;
  text.assign(buffer.data(), static_cast<size_t>(copied));
  return true;
}

BOOL ModifyMenu932(HMENU menu, UINT item, UINT flags, UINT_PTR newItem, const char* text) {
  if (const WideFunctions* wide = Wide()) return wide->modifyMenu(menu, item, flags, newItem, WideFrom932(text).data());
  return ModifyMenuA(menu, item, flags, newItem, text);
}

int MessageBox932(HWND owner, const char* text, const char* caption, UINT style) {
  if (const WideFunctions* wide = Wide()) {
    return wide->messageBox(owner, WideFrom932(text).data(), WideFrom932(caption).data(), style);
  }
  return MessageBoxA(owner, text, caption, style);
}

INT_PTR DialogBox932(HINSTANCE resources, UINT templateId, HWND owner, DLGPROC procedure, LPARAM param) {
  if (const WideFunctions* wide = Wide()) {
    return wide->dialogBoxParam(resources, MAKEINTRESOURCEW(templateId), owner, procedure, param);
  }
  return DialogBoxParamA(resources, MAKEINTRESOURCEA(templateId), owner, procedure, param);
}

// A tool identified by its window, whose text is asked for: TOOLINFOA or TOOLINFOW.
template <typename ToolInfo, typename Text>
ToolInfo CallbackTool(HWND owner, HWND tool, Text callback) {
  ToolInfo info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = callback;
  return info;
}

void AddCallbackTool(HWND toolTip, HWND owner, HWND tool) {
  if (const WideFunctions* wide = Wide()) {
    TOOLINFOW info = CallbackTool<TOOLINFOW>(owner, tool, LPSTR_TEXTCALLBACKW);
    wide->sendMessage(toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    return;
  }
  TOOLINFOA info = CallbackTool<TOOLINFOA>(owner, tool, LPSTR_TEXTCALLBACKA);
  SendMessageA(toolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

LRESULT AnswerNotifyFormat() { return WideTexts() ? NFR_UNICODE : NFR_ANSI; }

HWND TipToolWindow(const NMHDR* header) {
  UINT flags = 0;
  if (header->code == TTN_NEEDTEXTW) {
    flags = reinterpret_cast<const NMTTDISPINFOW*>(header)->uFlags;
  } else if (header->code == TTN_NEEDTEXTA) {
    flags = reinterpret_cast<const NMTTDISPINFOA*>(header)->uFlags;
  }
  return (flags & TTF_IDISHWND) != 0 ? reinterpret_cast<HWND>(header->idFrom) : nullptr;
}

void AnswerTipText(NMHDR* header, const char* text, HINSTANCE resources) {
  if (header->code == TTN_NEEDTEXTW) {
    NMTTDISPINFOW* tip = reinterpret_cast<NMTTDISPINFOW*>(header);
    if (text != nullptr) {
      // The tip copies the text at once; it is kept here until the next request.
      static std::vector<wchar_t> shown;
      shown = WideFrom932(text);
      tip->lpszText = shown.data();
    }
    tip->hinst = resources;
  } else if (header->code == TTN_NEEDTEXTA) {
    NMTTDISPINFOA* tip = reinterpret_cast<NMTTDISPINFOA*>(header);
    if (text != nullptr) tip->lpszText = const_cast<char*>(text);
    tip->hinst = resources;
  }
}

HFONT CreateIconTitleFont() {
  if (const WideFunctions* wide = Wide()) {
    LOGFONTW logFont{};
    wide->systemParametersInfo(SPI_GETICONTITLELOGFONT, sizeof logFont, &logFont, 0);
    return wide->createFontIndirect(&logFont);
  }
  LOGFONTA logFont{};
  SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof logFont, &logFont, 0);
  return CreateFontIndirectA(&logFont);
}

}  // namespace velkin
