// A general application desktop toolbar: a captionless tool window that registers with the
// shell, holds a strip along one edge of the screen at its own thickness and follows the shell's
// notifications and display changes. It knows nothing of what it shows.
#ifndef VELKIN_APPBAR_APPBAR_WND_H
#define VELKIN_APPBAR_APPBAR_WND_H

#include "appbar/appbar_data.h"
#include "framework/framework.h"
#include "system/types.h"

class CAppBarWnd : public CWnd {
 public:
  // The bar reaches the shell and the screen through `sys`.
  explicit CAppBarWnd(velkin::SystemServices& sys);
  ~CAppBarWnd() override;

  // Creates the bar's window at `rect` (screen coordinates); its size is the bar's thickness.
  virtual BOOL CreateBar(const RECT& rect);

  // Docks the bar to `edge` (0 left, 1 top, 2 right, 3 bottom) across the whole screen.
  BOOL SetEdge(UINT edge);
  // Negotiates `proposed` with the shell and, when `move` is set, moves the window there.
  void QuerySetPos(RECT& proposed, BOOL move);
  // Sets the inner side of `rc` from its outer side at `thickness`, for the current edge.
  void ApplyThickness(RECT& rc, SIZE thickness) const;

  velkin::Size ScreenSize() const { return m_screen; }
  velkin::Size BarThickness() const { return m_thickness; }
  const velkin::CAppBarData& AppBarData() const { return m_abd; }

  // The message the shell broadcasts when it has (re)started.
  static UINT s_taskbarCreated;

 protected:
  int OnCreate(LPCREATESTRUCTA create);
  void OnDestroy();
  void OnActivate(UINT state, HWND other, BOOL minimized);
  void OnSize(UINT type, int cx, int cy);
  void OnMove(int x, int y);
  void OnWindowPosChanged(WINDOWPOS* pos);
  LRESULT OnNcHitTest(POINT point);
  LRESULT OnDisplayChange(WPARAM bitsPerPixel, LPARAM size);
  LRESULT OnAppBarNotify(WPARAM code, LPARAM param);
  LRESULT OnTaskbarCreated(WPARAM, LPARAM);
  // Registers the bar with the shell (ABM_NEW), once the window is ready to be placed.
  void RegisterWithShell() { m_abd.Register(); }

  DECLARE_MESSAGE_MAP()

 private:
  velkin::CAppBarData m_abd;
  velkin::Size m_screen;
  velkin::Size m_thickness;
};

#endif
