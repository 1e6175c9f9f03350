// ui-driver: drives another program's windows from the command line (tests, demos, screenshots).
//   ui-driver wait CAPTION [TIMEOUT-MS]      wait until the window is on screen and ready
//   ui-driver list CAPTION                   its controls: id, class, rectangle, state, text
//   ui-driver focus CAPTION                  the control that has the focus
//   ui-driver click CAPTION BUTTON-TEXT      press a button
//   ui-driver key CAPTION enter|escape|tab   press a key in the window
//   ui-driver close CAPTION                  close through the system menu
//   ui-driver enabled CAPTION                "1" when the window takes input, else "0"
//   ui-driver shot CAPTION FILE.bmp          picture of the window as a 24-bit BMP
//   ui-driver probe CAPTION [INTERVAL-MS]    send WM_NULL every interval (default 50 ms, 5 s
//                                            limit each) until the window is gone; prints the
//                                            probes, those lost and the longest answer
// Output is UTF-8. Exit status: 0 done, 1 failed (timeout, missing window or control), 2 usage.
#include <cstdio>
#include <string>
#include <vector>

#include "uidriver.h"

namespace {

using namespace dravelin::uidriver;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr Milliseconds kProbeInterval{50};
// Windows takes a window that has not answered for 5 s for hung.
constexpr Milliseconds kHungAfter{5'000};

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

HWND ExistingWindow(const std::wstring& caption) {
  HWND window = FindTopWindow(caption);
  if (!window) throw DriverError("no window \"" + ToUtf8(caption) + "\" on screen");
  return window;
}

int Run(const std::vector<std::wstring>& args) {
  if (args.size() < 2) return kExitUsage;
  const std::string command = ToUtf8(args[0]);
  const std::wstring& caption = args[1];
  if (command == "wait" && args.size() <= 3) {
    const Milliseconds timeout =
        args.size() == 3 ? Milliseconds(std::stol(args[2])) : DefaultTimeout();
    WaitForWindow(caption, timeout);
  } else if (command == "list" && args.size() == 2) {
    for (const ControlInfo& control : ListControls(ExistingWindow(caption)))
      PrintLine(Describe(control));
  } else if (command == "focus" && args.size() == 2) {
    HWND focus = FocusedControl(ExistingWindow(caption));
    PrintLine(focus ? Describe(InspectControl(focus)) : "none");
  } else if (command == "click" && args.size() == 3) {
    ClickButton(FindControlByText(ExistingWindow(caption), args[2]));
  } else if (command == "key" && args.size() == 3) {
    PressKey(ExistingWindow(caption), ParseKey(ToUtf8(args[2])));
  } else if (command == "close" && args.size() == 2) {
    CloseThroughSystemMenu(ExistingWindow(caption));
  } else if (command == "enabled" && args.size() == 2) {
    PrintLine(::IsWindowEnabled(ExistingWindow(caption)) ? "1" : "0");
  } else if (command == "shot" && args.size() == 3) {
    SaveBmp(CaptureWindow(ExistingWindow(caption)), args[2]);
  } else if (command == "probe" && args.size() <= 3) {
    const Milliseconds interval =
        args.size() == 3 ? Milliseconds(std::stol(args[2])) : kProbeInterval;
    const ProbeSummary summary = ProbeUntilGone(ExistingWindow(caption), interval, kHungAfter);
    PrintLine("probes " + std::to_string(summary.probes) + ", lost " +
              std::to_string(summary.lost) + ", longest " +
              std::to_string(summary.longest.count()) + " ms");
  } else {
    return kExitUsage;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  try {
    const int status = Run(args);
    if (status == kExitUsage)
      std::fputs(
          "usage: ui-driver wait|list|focus|click|key|close|enabled|shot|probe CAPTION [ARG]\n",
          stderr);
    std::fflush(stdout);
    return status;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "ui-driver: %s\n", error.what());
    return kExitFailed;
  }
}
