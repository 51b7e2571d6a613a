// The two files at start-up and at exit, and the session and power commands, on the scripted
// machine: nothing here can end the session of the machine the tests run on.
#include "bar_fixture.h"

namespace {

class SessionTest : public BarTest {
 protected:
  void SetUp() override {
    BarTest::SetUp();
    UseDriveAndMemory(1024 * kMiB, 100 * kMiB);
  }
};

const char kWelcome[] = "Velkinの初めての起動です。\nまたは初期化情報が失われています。";

TEST_F(SessionTest, AFirstStartIsWelcomedAndTakesTheDefaults) {
  for (const bool emptyFile : {false, true}) {
    SCOPED_TRACE(emptyFile ? "an empty file" : "no file");
    fake_.files.clear();
    fake_.messages.clear();
    if (emptyFile) fake_.files[kSettingsPath] = "";
    CreatePanel();
    ASSERT_TRUE(ShowedOneBox(fake_, kWelcome, "Welcome to Velkin!", MB_ICONINFORMATION | MB_OK));
    EXPECT_EQ(Selection(IDC_INTERVAL), 4);
    EXPECT_EQ(Selection(IDC_DRIVE), 0);
    EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 1000u);
    EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "335544320 Bytes");
    EXPECT_EQ(Text(IDC_MEMORY_VALUE), "104857600 Bytes");
    Command(ID_FREEUNIT_MBYTES);
    EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "320.00 MBytes") << "two decimal places";
    EXPECT_EQ(fake_.files.count(kSettingsPath), emptyFile ? 1u : 0u) << "nothing is written at start";
  }
}

TEST_F(SessionTest, StoredSettingsComeBack) {
  fake_.files[kSettingsPath] = Lines({"1", "2", "MBytes", "3", "GBytes", "1", "6", "5", "9", "1", "1"});
  CreatePanel();
  EXPECT_TRUE(fake_.messages.empty());
  EXPECT_EQ(Selection(IDC_DRIVE), 1);
  EXPECT_EQ(Selection(IDC_INTERVAL), 6);
  EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 5000u);
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "320.0 MBytes");
  EXPECT_EQ(Text(IDC_TOTALCAP_VALUE), "1.0 GBytes");
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "102400.0 kBytes");
}

TEST_F(SessionTest, UnitIndexAndNameAreRestoredIndependently) {
  fake_.files[kSettingsPath] = Lines({"0", "1", "MBytes", "0", "GBytes", "2", "4", "0", "0", "1", "3"});
  CreatePanel();
  // Index 1 (kBytes) printed with the name that was stored beside it.
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "327680.00 MBytes");
  EXPECT_EQ(Text(IDC_TOTALCAP_VALUE), "1073741824 GBytes");
  // Memory unit 3 has no name: gigabytes, a blank and nothing.
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "0.10 ");
}

// A selection the file holds badly is reported, and a fallback taken: one second for the
// interval, the first entry for the drive (All when there is no fixed drive).
TEST_F(SessionTest, ABadSelectionIsReportedAndAFallbackTaken) {
  const std::string interval = "保存されていた更新間隔情報が不正です。\nとりあえず「１秒」に設定しました。";
  const std::string drive = "保存されていた検査対象ドライブ情報が不正です。\nとりあえず";
  const std::string driveC = drive + "C:\\に設定しました。", all = drive + "Allに設定しました。";
  const struct { bool fixedDrive; SettingsLine line; const char* text; std::string warning; int selector, selected; }
      rows[] = {{true, kInterval, "7", interval, IDC_INTERVAL, 4},  {true, kInterval, "-1", interval, IDC_INTERVAL, 4},
                {true, kInterval, "word", interval, IDC_INTERVAL, 4}, {true, kDrive, "5", driveC, IDC_DRIVE, 0},
                {true, kDrive, "-1", driveC, IDC_DRIVE, 0},           {true, kDrive, "x", driveC, IDC_DRIVE, 0},
                {false, kDrive, "1", all, IDC_DRIVE, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.text);
    fake_.messages.clear();
    if (!row.fixedDrive) fake_.drives.clear();
    fake_.files[kSettingsPath] = SettingsWith({{row.line, row.text}});
    CreatePanel();
    ASSERT_TRUE(ShowedOneBox(fake_, row.warning, "警告", MB_ICONHAND | MB_OK));
    EXPECT_EQ(Selection(row.selector), row.selected);
    EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 1000u);
  }
}

TEST_F(SessionTest, TheExclusionListIsLoadedWithinItsTwentyAndSavedBack) {
  std::string bytes;
  for (int i = 1; i <= 25; ++i) bytes += (i == 3 ? std::string() : "ウィンドウ" + std::to_string(i)) + "\r\n";
  fake_.files[kExclusionPath] = bytes;
  CreatePanel();
  // The exit writes those 20.
  Command(IDC_EXIT);
  AfxPumpMessages();
  std::string written;
  for (int i = 1; i <= 21; ++i) written += i == 3 ? "" : "ウィンドウ" + std::to_string(i) + "\r\n";
  EXPECT_EQ(fake_.files[kExclusionPath], written);
}

// The exit command and WM_CLOSE (Alt+F4, End task) alike, each saving once.
TEST_F(SessionTest, ExitStopsSavesBothReleasesAndCloses) {
  for (const auto& [message, command] :
       {std::pair<UINT, WPARAM>{WM_COMMAND, IDC_EXIT}, {WM_COMMAND, ID_APP_EXIT_MENU}, {WM_CLOSE, 0}}) {
    SCOPED_TRACE(message + command);
    fake_.files[kExclusionPath] = "メモ帳\r\n";
    CreatePanel();
    Command(ID_FREEUNIT_GBYTES);
    Command(ID_DECIMALS_3);
    const size_t from = fake_.queries.size();
    SendMessageA(hwnd_, message, command, 0);
    AfxPumpMessages();
    EXPECT_EQ(Requests(from),
              (std::vector<std::string>{
                  "StopTimer 1",
                  "WriteFile C:\\Velkin\\vlkini.dat.tmp", "RenameReplacing C:\\Velkin\\vlkini.dat.tmp C:\\Velkin\\vlkini.dat",
                  "WriteFile C:\\Velkin\\nonapp.dat.tmp", "RenameReplacing C:\\Velkin\\nonapp.dat.tmp C:\\Velkin\\nonapp.dat",
                  "ReleaseModule KERNEL32", "ReleaseModule RSRC32"}));
    EXPECT_EQ(fake_.files[kSettingsPath],
              SettingsWith({{kFreeUnit, "3"}, {kFreeUnitName, "GBytes"}, {kDecimals, "3"}}));
    EXPECT_EQ(fake_.files[kExclusionPath], "メモ帳\r\n");
    EXPECT_EQ(fake_.LoadedModuleCount(), 0);
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(fake_.FindBar(hwnd_), nullptr) << "the strip is free again";
    fake_.files[kSettingsPath] = SettingsWith({});
  }
}

TEST_F(SessionTest, ExitOnAnOldWindows95ReleasesOnlyTheResourceLibrary) {
  fake_.version = {4, 0, 950, 1};
  CreatePanel();
  const size_t from = fake_.queries.size();
  Command(IDC_EXIT);
  EXPECT_EQ(Requests(from, "ReleaseModule"), (std::vector<std::string>{"ReleaseModule RSRC32"}));
  AfxPumpMessages();
}

const velkin::WindowsVersion kWindows98{4, 10, 1998, 1};
const velkin::WindowsVersion kWindows7{6, 1, 7601, 2};

// Each command saves the settings and asks. Taken or refused, the refresh goes on at the
// selected interval when the call returns: Windows NT answers when the end only starts, and
// another program may call it off before the bar hears of it. Windows NT has no 16-bit
// services: restarting Windows alone logs off there.
TEST_F(SessionTest, RestartAndShutdownSaveTheSettingsAndAsk) {
  const struct { UINT button; UINT menu; velkin::WindowsVersion version; const char* request; } rows[] = {
      {IDC_RESTARTSYSTEM, ID_RESTARTSYSTEM_MENU, kWindows98, "ExitWindowsEx 0x0A 1"},
      {IDC_SHUTDOWN, ID_SHUTDOWN_MENU, kWindows98, "ExitWindowsEx 0x01 0"},
      {IDC_RESTARTWINDOWS, ID_RESTARTWINDOWS_MENU, kWindows98, "ExitWindows16 0x42"},
      {IDC_RESTARTWINDOWS, ID_RESTARTWINDOWS_MENU, kWindows7, "ExitWindowsEx 0x00 0"}};
  for (const auto& row : rows) {
    for (const UINT command : {row.button, row.menu}) {
      for (const bool taken : {true, false}) {
        SCOPED_TRACE(testing::Message() << command << " on " << row.version.major << "." << row.version.minor
                                        << (taken ? ", taken" : ", refused"));
        fake_.version = row.version;
        fake_.requestsTaken = taken;
        CreatePanel();
        const size_t from = fake_.queries.size();
        Command(command);
        EXPECT_EQ(Requests(from), (std::vector<std::string>{
                                      "StopTimer 1", "WriteFile C:\\Velkin\\vlkini.dat.tmp",
                                      "RenameReplacing C:\\Velkin\\vlkini.dat.tmp C:\\Velkin\\vlkini.dat",
                                      row.request, "StartTimer 1 1000"}));
        EXPECT_EQ(fake_.LoadedModuleCount(), 2) << "the libraries stay";
        EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 1000u);
        AfxPumpMessages();
        EXPECT_TRUE(IsWindow(hwnd_)) << "the bar waits for Windows to end it";
      }
    }
  }
}

TEST_F(SessionTest, SuspendAsksForSleepAndTouchesNothing) {
  for (const auto& row : {std::make_pair(kWindows98, "SetSystemPowerState 0 0"),
                          std::make_pair(kWindows7, "SetSystemPowerState 1 0")}) {
    for (const UINT command : {static_cast<UINT>(IDC_SUSPEND), static_cast<UINT>(ID_SUSPEND_MENU)}) {
      fake_.version = row.first;
      CreatePanel();
      const size_t from = fake_.queries.size();
      const auto files = fake_.files;
      Command(command);
      EXPECT_EQ(Requests(from), (std::vector<std::string>{row.second}));
      EXPECT_EQ(fake_.files, files);
      EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 1000u) << "the refresh goes on";
    }
  }
}

TEST_F(SessionTest, TheEndOfTheSessionSavesBothAndReleasesOnce) {
  fake_.files[kExclusionPath] = "電卓\r\n";
  CreatePanel();
  size_t from = fake_.queries.size();
  EXPECT_EQ(SendMessageA(hwnd_, WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_EQ(Requests(from).size(), 7u);
  EXPECT_EQ(fake_.LoadedModuleCount(), 0);
  // The session did not end after all; then it ends, with its flag FALSE or TRUE (how often
  // each writes the files: EachSessionEndWritesEachFileOnce).
  for (const WPARAM ending : {FALSE, TRUE}) {
    from = fake_.queries.size();
    SendMessageA(hwnd_, WM_ENDSESSION, ending, 0);
    EXPECT_EQ(Requests(from).front(), "StopTimer 1");
    EXPECT_EQ(fake_.files[kExclusionPath], "電卓\r\n");
    EXPECT_EQ(Requests(from, "ReleaseModule"), std::vector<std::string>{}) << "released once";
    // Called off, the refresh goes on; ending, it stays stopped.
    EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), ending ? 0u : 1000u);
  }
  // The end reaches the bar during a shutdown request: the refresh stays stopped after it too.
  fake_.whileRequesting = [this] { SendMessageA(hwnd_, WM_ENDSESSION, TRUE, 0); };
  Command(IDC_SHUTDOWN);
  EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 0u);
  EXPECT_TRUE(IsWindow(hwnd_)) << "Windows ends the program, not the bar";
  EXPECT_EQ(fake_.badCalls, 0);
}

// However a session end reaches the bar (WM_QUERYENDSESSION, WM_ENDSESSION, the restart and shutdown
// commands), each file is written once for it; an end called off (WM_ENDSESSION FALSE, a refused
// request) is over, and a change made since a write is written even when nothing said so.
TEST_F(SessionTest, EachSessionEndWritesEachFileOnce) {
  const auto query = [this] { SendMessageA(hwnd_, WM_QUERYENDSESSION, 0, 0); };
  const auto end = [this](BOOL ending) { SendMessageA(hwnd_, WM_ENDSESSION, ending, 0); };
  const struct { const char* name; std::function<void()> run; size_t settingsWrites, exclusionWrites; } rows[] = {
      {"query, end", [&] { query(); end(TRUE); }, 1, 1},
      {"end alone", [&] { end(TRUE); }, 1, 1},
      {"restart, query and end during it", [&] { fake_.whileRequesting = [&] { query(); end(TRUE); };
                                                  Command(IDC_RESTARTSYSTEM); }, 1, 1},
      {"shutdown, query, end", [&] { Command(IDC_SHUTDOWN); query(); end(TRUE); }, 1, 1},
      {"query, end called off, a change, query, end",
       [&] { query(); end(FALSE); Command(ID_DECIMALS_3); query(); end(TRUE); }, 2, 2},
      {"refused restart, query, end",
       [&] { fake_.requestsTaken = false; Command(IDC_RESTARTWINDOWS); query(); end(TRUE); }, 2, 1},
      {"shutdown called off unheard, a change, query, end",
       [&] { Command(IDC_SHUTDOWN); Command(ID_DECIMALS_3); query(); end(TRUE); }, 2, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fake_.files[kSettingsPath] = SettingsWith({});
    fake_.requestsTaken = true;
    fake_.whileRequesting = nullptr;
    CreatePanel();
    const size_t from = fake_.queries.size();
    row.run();
    EXPECT_EQ(Requests(from, std::string("WriteFile ") + kSettingsPath).size(), row.settingsWrites);
    EXPECT_EQ(Requests(from, std::string("WriteFile ") + kExclusionPath).size(), row.exclusionWrites);
  }
}

TEST_F(SessionTest, ASaveThatCannotWriteShowsNothingAndTheCommandGoesOn) {
  const std::string before = fake_.files[kSettingsPath];
  CreatePanel();
  Command(ID_FREEUNIT_KBYTES);
  fake_.readOnly = true;
  Command(IDC_EXIT);
  EXPECT_TRUE(fake_.messages.empty());
  EXPECT_EQ(fake_.files[kSettingsPath], before);
  EXPECT_EQ(fake_.files.count(kExclusionPath), 0u);
  AfxPumpMessages();
  EXPECT_FALSE(IsWindow(hwnd_));
}

TEST_F(SessionTest, TheFilesLieBesideTheProgramInAnyFolder) {
  fake_.modulePath = "D:\\表示ソフト\\能力\\velkin.exe";
  const std::string folder = "D:\\表示ソフト\\能力\\";
  fake_.files.clear();
  const std::string settings = Lines({"0", "2", "MBytes", "0", "Bytes", "1", "5", "0", "0", "1", "0"});
  fake_.files[folder + "vlkini.dat"] = settings;
  fake_.files[folder + "nonapp.dat"] = "表計算\r\n";
  CreatePanel();
  EXPECT_TRUE(fake_.messages.empty());
  EXPECT_EQ(Selection(IDC_INTERVAL), 5);
  Command(IDC_EXIT);
  EXPECT_EQ(fake_.files[folder + "vlkini.dat"], settings);
  EXPECT_EQ(fake_.files[folder + "nonapp.dat"], "表計算\r\n");
  EXPECT_EQ(fake_.files.size(), 2u) << "nothing written anywhere else";
  AfxPumpMessages();
}

// Whatever ends the program while start-up waits on one of its message boxes (the welcome, a
// warning), it writes neither file: what was on disk stays byte for byte, and the program ends.
TEST_F(SessionTest, NothingIsWrittenBeforeStartUpHasLoadedBothFiles) {
  const std::string badInterval = SettingsWith({{kFreeUnit, "3"}, {kFreeUnitName, "GBytes"}, {kInterval, "9"}});
  const std::string badDrive = SettingsWith({{kDrive, "7"}, {kFreeUnit, "3"}, {kFreeUnitName, "GBytes"}});
  const struct {
    const char* box;
    const char* settings;  // nullptr: no settings file
  } starts[] = {{"the welcome", nullptr}, {"the interval warning", badInterval.c_str()},
                {"the drive warning", badDrive.c_str()}};
  const struct { const char* name; std::function<void(HWND)> send; } ends[] = {
      {"the session ends",
       [](HWND panel) {
         EXPECT_EQ(SendMessageA(panel, WM_QUERYENDSESSION, 0, 0), TRUE);
         SendMessageA(panel, WM_ENDSESSION, TRUE, 0);
       }},
      {"the exit command", [](HWND panel) { SendMessageA(panel, WM_COMMAND, IDC_EXIT, 0); }},
      {"WM_CLOSE", [](HWND panel) { SendMessageA(panel, WM_CLOSE, 0, 0); }},
  };
  for (const auto& start : starts) {
    for (const auto& end : ends) {
      SCOPED_TRACE(testing::Message() << end.name << " while " << start.box << " is up");
      fake_.files.clear();
      fake_.queries.clear();
      if (start.settings != nullptr) fake_.files[kSettingsPath] = start.settings;
      fake_.files[kExclusionPath] = "電卓\r\nメモ帳\r\n";
      const auto before = fake_.files;
      fake_.whileMessageShown = [&](velkin::WindowHandle owner) {
        fake_.whileMessageShown = nullptr;
        end.send(static_cast<HWND>(owner));
        AfxPumpMessages();  // what the box's own loop would dispatch meanwhile
      };
      bool endAsked = false;
      EXPECT_EQ(CPanelWnd::CreatePanel(fake_, &endAsked), nullptr) << "the program ends";
      EXPECT_TRUE(endAsked) << "as asked: no box says it could not start";
      EXPECT_EQ(fake_.files, before);
      EXPECT_EQ(fake_.CountQueries("WriteFile"), 0u);
      EXPECT_EQ(fake_.CountQueries("StartTimer"), 0u);
      EXPECT_EQ(CWnd::LiveObjectCount(), liveBefore_) << "the panel went with its window";
    }
  }
}

// A file that is there but cannot be read is no first start: the bar says so, runs on the
// defaults (or an empty list) and leaves that file as it is; the other file is saved as ever.
TEST_F(SessionTest, AFileThatCannotBeReadIsNeverWrittenOver) {
  const char kSettingsUnreadable[] =
      "保存されていた初期化情報を読み込めませんでした。\nとりあえず初期設定で動作します。\n初期化情報は書き換えません。";
  const char kExclusionsUnreadable[] =
      "保存されていた最小化しないアプリケーションの一覧を読み込めませんでした。\nとりあえず一覧を空にして動作します。\n"
      "一覧は書き換えません。";
  const std::string stored = Lines({"1", "3", "GBytes", "2", "MBytes", "4", "6", "0", "0", "1", "2"});
  for (const bool settingsUnreadable : {true, false}) {
    SCOPED_TRACE(settingsUnreadable ? "vlkini.dat held open" : "nonapp.dat held open");
    fake_.files = {{kSettingsPath, stored}, {kExclusionPath, "電卓\r\n"}};
    fake_.unreadable = {settingsUnreadable ? kSettingsPath : kExclusionPath};
    fake_.messages.clear();
    CreatePanel();
    ASSERT_TRUE(ShowedOneBox(fake_, settingsUnreadable ? kSettingsUnreadable : kExclusionsUnreadable, "警告",
                             MB_ICONHAND | MB_OK));
    if (settingsUnreadable) {
      EXPECT_EQ(Selection(IDC_INTERVAL), 4) << "the defaults";
      Command(ID_FREEUNIT_MBYTES);
      EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "320.00 MBytes") << "the default places";
    } else {
      EXPECT_EQ(Selection(IDC_INTERVAL), 6);
    }
    Command(ID_DECIMALS_1);
    Command(IDC_EXIT);
    AfxPumpMessages();
    EXPECT_EQ(fake_.files[settingsUnreadable ? kSettingsPath : kExclusionPath],
              settingsUnreadable ? stored : "電卓\r\n") << "left as it is";
    if (settingsUnreadable) {
      EXPECT_EQ(fake_.files[kExclusionPath], "電卓\r\n");
    } else {
      EXPECT_EQ(fake_.files[kSettingsPath], Lines({"1", "3", "GBytes", "2", "MBytes", "1", "6", "0", "0", "1", "2"}));
    }
    fake_.unreadable.clear();
  }
}

}  // namespace
