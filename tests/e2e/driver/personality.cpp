// Under a personality (tests/personality/run.sh): the program meets one Windows through the
// layer the launcher puts into it; the figures it shows are the ones run.sh scripted.
#include "tests/e2e/driver/driver.h"

namespace driver {
namespace {

const UINT kStatisticsMessage = RegisterWindowMessageA("VelkinStatistics");
const WPARAM kTicksQuery = 1;

// "4.0.950" into its three numbers.
bool parse_version(const std::string &text, DWORD *major, DWORD *minor, DWORD *build) {
  return sscanf(text.c_str(), "%lu.%lu.%lu", major, minor, build) == 3;
}

// The refresh ticks the bar has made; false when it does not answer within 5 s.
bool bar_ticks(HWND bar, DWORD_PTR *ticks) { return send(bar, kStatisticsMessage, kTicksQuery, 0, ticks); }

// Checks a readout's text, waiting up to the refresh wait for it to settle.
void check_readout(Results &res, const std::string &name, HWND bar, int id, const std::string &expected) {
  std::string text;
  wait_for(kRefreshWaitMs, [&] { return get_text(GetDlgItem(bar, id), &text) && text == expected; });
  res.check(text == expected, name, text_str(expected), text_str(text));
}

// Start-up as the personality's Windows: the buttons and the version dialog its version gives,
// the scripted drive, memory and resources figures as its calls give them, suspend pressed where
// offered; the interval read back from the last save, another chosen, and the exit button.
int persona_readouts(const std::string &exe, const std::string &version, int interval_now, int interval_next,
                         const std::string &resources, const std::string &free_space, const std::string &total,
                         const std::string &memory) {
  Results res;
  DWORD major = 0, minor = 0, build = 0;
  if (!res.check(parse_version(version, &major, &minor, &build), "persona.version", "MAJOR.MINOR.BUILD", version))
    return res.finish();
  const VersionTexts expected = version_texts(major, minor, build);
  const Steps steps = [&](Results &res, Instance &inst) {
    check_buttons(res, inst.bar, expected.suspend);
    check_readout(res, "persona.resources", inst.bar, kResourcesReadout, resources);
    check_readout(res, "persona.free", inst.bar, kFreeReadout, free_space + " Bytes");
    check_readout(res, "persona.total", inst.bar, kTotalReadout, total + " Bytes");
    check_readout(res, "persona.memory", inst.bar, kMemoryReadout, memory + " Bytes");
    check_selected(res, "persona.interval_read_back", inst.bar, kIntervalSelector, interval_now);
    check_version_dialog(res, inst, expected);
    if (expected.suspend) {
      PostMessageA(GetDlgItem(inst.bar, kSuspendButton), BM_CLICK, 0, 0);
      DWORD_PTR ticks = 0;
      res.check(bar_ticks(inst.bar, &ticks), "persona.after_suspend", "the bar answering after suspend", "no answer");
    }
    check_select(res, "persona.select_interval", inst.bar, kIntervalSelector, interval_next);
    check_selected(res, "persona.interval_selected", inst.bar, kIntervalSelector, interval_next);
  };
  return run_scenario(Scenario("persona", Up::kNoBox, Ending::kExitButton), exe, steps, res);
}

// A session command under the personality: the interval read back from the last save, the
// button pressed, then either the program ends with the session ("ends") or, the end refused
// after the request, the bar goes on refreshing and its exit button still ends it ("refreshes").
int persona_session(const std::string &exe, int button, int interval_now, const std::string &outcome) {
  const Scenario s("persona_session", Up::kNoBox, Ending::kBySteps);
  return run_scenario(s, exe, [&](Results &res, Instance &inst) {
    check_selected(res, "persona_session.interval_read_back", inst.bar, kIntervalSelector, interval_now);
    if (outcome == "ends") {
      check_session_ends(res, "persona_session", inst, button);
    } else {
      PostMessageA(GetDlgItem(inst.bar, button), BM_CLICK, 0, 0);
      Sleep(1500);  // the request made and answered
      DWORD_PTR before = 0, after = 0;
      const bool first = bar_ticks(inst.bar, &before);
      Sleep(3000);
      const bool second = first && bar_ticks(inst.bar, &after);
      res.check(second && after >= before + 2, "persona_session.refreshing",
                "two or more refresh ticks in 3 s after the refused end",
                second ? num((unsigned long long)(after - before)) + " ticks" : "no answer from the bar");
      exit_and_check(res, inst, "persona_session.exit");
    }
  });
}

// Memory runs out (the layer's allocations fail once its event is set) while the bar runs: one
// box says so; while it is up the bar takes no message (no refresh, no session end that could
// save half-made state) and no second box comes; OK ends the program with code 3.
int persona_no_memory(const std::string &exe) {
  return run_scenario(Scenario("no_memory", Up::kAnyBoxes, Ending::kBySteps), exe, [](Results &res, Instance &inst) {
    HANDLE no_memory = OpenEventA(EVENT_MODIFY_STATE, FALSE, "VelkinPersonalityNoMemory");
    if (res.check(no_memory != nullptr, "no_memory.event", "the layer's event", "error " + num(GetLastError()))) {
      SetEvent(no_memory);
      CloseHandle(no_memory);
      PostMessageA(inst.bar, WM_COMMAND, kVersionCommand, 0);  // the dialog's texts need memory
      if (HWND box = check_dialog(res, "no_memory.box", inst.pi.dwProcessId, "Velkin", "the version command", 10000)) {
        check_text(res, "no_memory.text", GetDlgItem(box, kBoxTextId),
                   "メモリが足りないため、Velkinを終了します。");
        DWORD_PTR answer = 0;
        const bool ticks = SendMessageTimeoutA(inst.bar, kStatisticsMessage, kTicksQuery, 0, SMTO_ABORTIFHUNG,
                                               2000, &answer) != 0;
        res.check(!ticks, "no_memory.no_refresh", "no answer from the bar while the box is up",
                  "it answered: " + num((unsigned long long)answer) + " ticks");
        const bool ending = SendMessageTimeoutA(inst.bar, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 2000,
                                                &answer) != 0;
        res.check(!ending, "no_memory.no_session_end", "WM_QUERYENDSESSION not taken while the box is up",
                  "the bar answered it");
        Sleep(1000);
        const std::vector<HWND> shown = process_dialogs(inst.pi.dwProcessId, "Velkin");
        res.check(shown.size() == 1, "no_memory.one_box", "still one box", num(shown.size()) + " boxes");
        if (!shown.empty()) PostMessageA(GetDlgItem(shown.front(), IDOK), BM_CLICK, 0, 0);
        const bool ended = WaitForSingleObject(inst.pi.hProcess, 10000) == WAIT_OBJECT_0;
        DWORD code = 0;
        GetExitCodeProcess(inst.pi.hProcess, &code);
        res.check(ended && code == 3, "no_memory.ended", "the program ended with code 3 after OK",
                  ended ? "code " + hex(code) : "it still runs");
      }
    }
  });
}

const Commands kCommands = {
    {"persona-readouts", "VELKIN_EXE VERSION INTERVAL_NOW INTERVAL_NEXT RESOURCES FREE TOTAL MEMORY", 8,
     [](char **a) { return persona_readouts(a[0], a[1], atoi(a[2]), atoi(a[3]), a[4], a[5], a[6], a[7]); }},
    {"persona-session", "VELKIN_EXE BUTTON_ID INTERVAL_NOW ends|refreshes", 4,
     [](char **a) { return persona_session(a[0], atoi(a[1]), atoi(a[2]), a[3]); }},
    {"persona-no-memory", "VELKIN_EXE", 1, [](char **a) { return persona_no_memory(a[0]); }},
};

}  // namespace
}  // namespace driver
