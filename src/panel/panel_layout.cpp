#include "panel/panel_layout.h"

#include "res/resource.h"

namespace velkin {

const PanelControl kPanelControls[kPanelControlCount] = {
    {ControlKind::kButton, IDC_SUSPEND, {4, 4, 36, 36}, kIconButtonStyle, nullptr, IDI_SUSPEND},
    {ControlKind::kButton, IDC_RESTARTWINDOWS, {40, 4, 72, 36}, kIconButtonStyle, nullptr, IDI_RESTARTWINDOWS},
    {ControlKind::kButton, IDC_RESTARTSYSTEM, {76, 4, 108, 36}, kIconButtonStyle, nullptr, IDI_RESTARTSYSTEM},
    {ControlKind::kButton, IDC_SHUTDOWN, {112, 4, 144, 36}, kIconButtonStyle, nullptr, IDI_SHUTDOWN},
    {ControlKind::kButton, IDC_MINIMIZEALL, {148, 4, 180, 36}, kIconButtonStyle, nullptr, IDI_MINIMIZEALL},
    {ControlKind::kButton, IDC_EXIT, {184, 4, 216, 36}, kIconButtonStyle, nullptr, IDI_EXIT},
    {ControlKind::kStatic, IDC_FREESPACE_LABEL, {220, 4, 271, 18}, kStaticStyle, "空き容量", 0},
    {ControlKind::kStatic, IDC_TOTALCAP_LABEL, {220, 22, 271, 36}, kStaticStyle, "総容量", 0},
    {ControlKind::kStatic, IDC_FREESPACE_VALUE, {276, 4, 396, 18}, kStaticStyle, "XXXXXXXXXX MBytes", 0},
    {ControlKind::kStatic, IDC_TOTALCAP_VALUE, {276, 22, 396, 36}, kStaticStyle, "XXXXXXXXXX MBytes", 0},
    {ControlKind::kStatic, IDC_RESOURCE_LABEL, {401, 4, 501, 18}, kStaticStyle, "空きシステムリソース", 0},
    {ControlKind::kStatic, IDC_MEMORY_LABEL, {401, 22, 501, 36}, kStaticStyle, "空きメモリ", 0},
    {ControlKind::kStatic, IDC_RESOURCE_VALUE, {506, 4, 606, 18}, kStaticStyle, "XX.XX ％", 0},
    {ControlKind::kStatic, IDC_MEMORY_VALUE, {506, 22, 626, 36}, kStaticStyle, "XXXXXXXXXX MBytes", 0},
    {ControlKind::kStatic, IDC_INTERVAL_CAPTION, {631, 4, 710, 18}, kStaticStyle, "更新間隔", 0},
    {ControlKind::kStatic, IDC_DRIVE_CAPTION, {715, 4, 856, 18}, kStaticStyle, "検査ドライブ", 0},
    {ControlKind::kComboBox, IDC_INTERVAL, {631, 18, 710, 118}, kSelectorStyle, nullptr, 0},
    {ControlKind::kComboBox, IDC_DRIVE, {715, 18, 775, 100}, kSelectorStyle, nullptr, 0},
};

const PanelControl* FindPanelControl(int id) {
  for (const PanelControl& place : kPanelControls) {
    if (place.id == id) return &place;
  }
  return nullptr;
}

namespace {

struct TooltipRow {
  int id;
  const char* text;
};

const TooltipRow kTooltips[] = {
    {IDC_RESTARTWINDOWS, "Windowsのみ高速再起動します"},
    {IDC_RESTARTSYSTEM, "システム全体を再起動します"},
    {IDC_SHUTDOWN, "電源を切れる状態にします"},
    {IDC_MINIMIZEALL, "全てのウィンドウを最小化します"},
    {IDC_INTERVAL, "情報の更新間隔を設定します"},
    {IDC_DRIVE, "容量を監視するドライブを指定します"},
    {IDC_EXIT, "このアプリケーションを終了します"},
    {IDC_SUSPEND, "このコンピュータをサスペンドモードにします"},
};

}  // namespace

const char* TooltipText(int id) {
  for (const TooltipRow& row : kTooltips) {
    if (row.id == id) return row.text;
  }
  return nullptr;
}

}  // namespace velkin
