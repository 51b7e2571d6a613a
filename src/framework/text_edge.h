// Where the program's texts cross to Windows and back. Inside, every text is code page 932
// bytes, whatever the system's ANSI code page is.
//
// On Windows 95, OSR2 and 98 the texts go to the ...A functions as they are: a Japanese 9x reads
// them in code page 932, and windows keep their titles in the ANSI code page.
//
// On the NT family windows keep their texts in UTF-16 and the ANSI code page may be 1252, 949 or
// UTF-8, so an ...A function would read the program's bytes in the wrong code page and would
// hand back other windows' titles with '?' wherever that code page has no such letter. There
// every text goes out converted from code page 932 to UTF-16, named explicitly, to the ...W
// function, and every text read comes back through the ...W function converted to code page 932
// the same way. The ...W functions are looked up at run time, on NT only: Windows 95 lacks some
// and has most of the others as stubs. Where code page 932 cannot be converted (an NT without
// its tables) the texts go through the ...A functions as before.
#ifndef VELKIN_FRAMEWORK_TEXT_EDGE_H
#define VELKIN_FRAMEWORK_TEXT_EDGE_H

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace velkin {

// True where the texts cross as UTF-16; decided at the first use and kept.
bool WideTexts();

// Code page 932 bytes as UTF-16, ending in a 0; and back, with what the system's own conversion
// puts where code page 932 has no such letter (its default character, '?', or a look-alike).
std::vector<wchar_t> WideFrom932(const char* text);
std::string NarrowTo932(const wchar_t* text, size_t length);

// A window's text, whole (GetWindowTextLength, GetWindowText).
std::string WindowText(HWND window);
// SetWindowText.
BOOL SetWindowText932(HWND window, const char* text);
// A message whose lParam is a text the control keeps (CB_ADDSTRING, LB_ADDSTRING).
LRESULT SendText(HWND window, UINT message, WPARAM wParam, const char* text);
// A list entry's text, whole, read with its two messages (CB_GETLBTEXTLEN and CB_GETLBTEXT, or
// the list box's); false, and `text` emptied, for an entry that does not exist.
bool EntryText(HWND control, UINT lengthMessage, UINT textMessage, int index, std::string& text);
// ModifyMenu with a text item.
BOOL ModifyMenu932(HMENU menu, UINT item, UINT flags, UINT_PTR newItem, const char* text);
// MessageBox.
int MessageBox932(HWND owner, const char* text, const char* caption, UINT style);
// DialogBoxParam with a template of the resources. The templates hold UTF-16: a dialog made
// through the ANSI function may have them converted to the ANSI code page on the way.
INT_PTR DialogBox932(HINSTANCE resources, UINT templateId, HWND owner, DLGPROC procedure, LPARAM param);

// A tooltip tool whose text is asked for when the tip shows (TTM_ADDTOOL with a callback
// text). Where texts cross as UTF-16 the tip asks with TTN_NEEDTEXTW, and the window the tool
// belongs to must say so when the tooltip asks (AnswerNotifyFormat).
void AddCallbackTool(HWND toolTip, HWND owner, HWND tool);
// What a window answers to WM_NOTIFYFORMAT, so that the common controls notify it in the form
// the program reads.
LRESULT AnswerNotifyFormat();
// The control a TTN_NEEDTEXTA or TTN_NEEDTEXTW request is for, where the tool is identified by
// its window; null otherwise.
HWND TipToolWindow(const NMHDR* header);
// Answers such a request with `text` (none: the tip's own) and the module of the resources.
void AnswerTipText(NMHDR* header, const char* text, HINSTANCE resources);

// The icon-title font as the system describes it (SystemParametersInfo
// SPI_GETICONTITLELOGFONT), read in UTF-16 where texts cross so, so that its face name
// survives any code page; null when no font could be made.
HFONT CreateIconTitleFont();

}  // namespace velkin

#endif
