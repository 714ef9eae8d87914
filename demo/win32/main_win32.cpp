// The HID Demo program for Windows: the window on the machine's own HID devices, or with
// --list a text listing of them on the console it was started from.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "device_listing.h"
#include "hid_demo_window.h"
#include "options.h"
#include "qzclasses/dispatcher.h"
#include "qzclasses/errors.h"
#include "qzplatform/win32.h"
#include "ui/win32/message_box.h"
#include "ui/win32/win32_dispatcher.h"

#include <shellapi.h>

namespace {

constexpr char kUsage[] =
    "usage: hid-demo [--memo-lines N] [--list]\n"
    "  (no option)     open the HID Demo window\n"
    "  --memo-lines N  the window's memo keeps the newest N lines (default 100000)\n"
    "  --list          print the HID devices with their identity and capabilities\n";

// A GUI program has no console of its own. Output that is redirected (a file, a pipe)
// keeps its handle; otherwise it goes to the console of the program's starter, if any.
void UseStartersConsole() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::FILE* ignored = nullptr;
  ignored = std::freopen("CONOUT$", "w", stdout);
  ignored = std::freopen("CONOUT$", "w", stderr);
  (void)ignored;
  SetConsoleOutputCP(CP_UTF8);  // the listing is written in UTF-8
}

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) {
    args.push_back(qz::TextToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  }
  LocalFree(argv);
  return args;
}

int RunWindow(int show, std::size_t memoLines) {
  qzui::Win32Dispatcher dispatcher;
  qz::Dispatcher::Install(&dispatcher);
  int result = 0;
  try {
    demo::DemoSettings settings;
    settings.memoLines = memoLines;
    demowin::HidDemoWindow window(std::move(settings));
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
      // Tab, the arrow keys and the mnemonics move between the controls as in a dialog.
      if (window.Handle() && IsDialogMessageW(window.Handle(), &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    result = got < 0 ? 1 : static_cast<int>(msg.wParam);
  } catch (...) {
    qzui::ShowErrorReport(nullptr, std::current_exception());
    result = 1;
  }
  qz::Dispatcher::Install(nullptr);
  return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  const std::vector<std::string> args = Arguments();
  demo::Options options;
  std::string error;
  const bool parsed = demo::ParseOptions(args, options, error);
  if (!args.empty()) UseStartersConsole();
  if (!parsed) {
    std::fprintf(stderr, "hid-demo: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.platform.empty() || !options.simFile.empty()) {
    std::fputs("hid-demo: --platform and --sim choose simulated or Linux devices; this Windows "
               "build works with the machine's own HID devices only\n",
               stderr);
    return 2;
  }
  if (options.list) {
    try {
      return demo::PrintDiscoveredDevices(u"machine");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "hid-demo: %s\n", e.what());
      return 1;
    }
  }
  return RunWindow(show, options.memoLines);
}
