#include "settings/startup.h"

#include "readouts/format.h"
#include "readouts/intervals.h"
#include "settings/file_store.h"

namespace velkin {

namespace {

constexpr uint32_t kIconHand = kBoxOk | kBoxIconStop;
constexpr uint32_t kIconInformation = kBoxOk | kBoxIconInformation;
constexpr char kWarningCaption[] = "警告";

const Notice kWelcome = {"Velkinの初めての起動です。\nまたは初期化情報が失われています。", "Welcome to Velkin!",
                         kIconInformation};
const Notice kSettingsUnreadable = {
    "保存されていた初期化情報を読み込めませんでした。\nとりあえず初期設定で動作します。\n初期化情報は書き換えません。",
    kWarningCaption, kIconHand};
const Notice kExclusionsUnreadable = {
    "保存されていた最小化しないアプリケーションの一覧を読み込めませんでした。\nとりあえず一覧を空にして動作します。\n"
    "一覧は書き換えません。",
    kWarningCaption, kIconHand};

// The first-run defaults: the first drive, Bytes for both drive readouts, two places, "1秒".
// The memory unit stays as it was.
StoredSettings FirstRunDefaults(const StoredSettings& initial) {
  StoredSettings settings = initial;
  settings.drive = 0;
  settings.driveValid = true;
  settings.freeUnit = 0;
  settings.freeUnitName = kUnitNames[kUnitBytes];
  settings.totalUnit = 0;
  settings.totalUnitName = kUnitNames[kUnitBytes];
  settings.decimals = 2;
  settings.interval = kDefaultIntervalIndex;
  settings.intervalValid = true;
  return settings;
}

}  // namespace

SettingsAtStart ReadSettingsAtStart(SystemServices& sys, const StoredSettings& initial) {
  SettingsAtStart start;
  std::string bytes;
  const FileRead read = LoadSaved(sys, PathBesideProgram(sys, kSettingsFileName), &bytes);
  start.settings = initial;
  if (read == FileRead::kFailed) {
    // Not a first start: the settings are there, only out of reach for now.
    start.keepFile = true;
    start.notice = kSettingsUnreadable;
    start.settings = FirstRunDefaults(initial);
  } else if (read == FileRead::kMissing || !ParseSettings(bytes, &start.settings)) {
    start.notice = kWelcome;
    start.settings = FirstRunDefaults(initial);
  }
  return start;
}

ExclusionsAtStart ReadExclusionsAtStart(SystemServices& sys) {
  ExclusionsAtStart start;
  std::string bytes;
  const FileRead read = LoadSaved(sys, PathBesideProgram(sys, kExclusionFileName), &bytes);
  if (read == FileRead::kFailed) {
    start.keepFile = true;
    start.notice = kExclusionsUnreadable;
  } else if (read == FileRead::kRead) {
    start.list = ParseExclusionList(bytes);
  }
  return start;
}

Notice Warning(const char* text) { return Notice{text, kWarningCaption, kIconHand}; }

Notice IntervalWarning() { return Warning("保存されていた更新間隔情報が不正です。\nとりあえず「１秒」に設定しました。"); }

std::string DriveWarningText(const std::string& entry) {
  return "保存されていた検査対象ドライブ情報が不正です。\nとりあえず" + entry + "に設定しました。";
}

}  // namespace velkin
