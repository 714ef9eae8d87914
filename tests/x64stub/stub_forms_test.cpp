// The helper's three forms against substitute system calls: argument counts, the
// order of calls, the state-code mapping, messages and exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qzclasses/text.h"
#include "qzplatform/win32.h"
#include "stub.h"

namespace {

using qzplatform::AsChar16;
using qzplatform::AsWide;

const HDEVINFO kSet = reinterpret_cast<HDEVINFO>(static_cast<std::uintptr_t>(0x40));
const SC_HANDLE kManager = reinterpret_cast<SC_HANDLE>(static_cast<std::uintptr_t>(0x100));
const SC_HANDLE kService = reinterpret_cast<SC_HANDLE>(static_cast<std::uintptr_t>(0x200));
const SC_HANDLE kOldService = reinterpret_cast<SC_HANDLE>(static_cast<std::uintptr_t>(0x300));

std::string Narrow(LPCWSTR text) { return text ? qz::TextToUtf8(AsChar16(text)) : "(null)"; }

// Records every call in order; outcomes are set per test. Splitting and GUID parsing
// are the system's own.
class FakeSystem : public x64stub::StubSystem {
 public:
  LPWSTR* CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs) override {
    return x64stub::SystemCalls().CommandLineToArgvW(lpCmdLine, pNumArgs);
  }
  HLOCAL LocalFree(HLOCAL hMem) override { return x64stub::SystemCalls().LocalFree(hMem); }
  HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) override {
    return x64stub::SystemCalls().CLSIDFromString(lpsz, pclsid);
  }
  HDEVINFO SetupDiCreateDeviceInfoList(const GUID* g, HWND) override {
    calls.push_back("CreateList " + std::to_string(g ? g->Data1 : 0));
    return Outcome(create_ok, create_error) ? kSet : INVALID_HANDLE_VALUE;
  }
  BOOL SetupDiOpenDeviceInfoW(HDEVINFO, PCWSTR id, HWND, DWORD flags,
                              PSP_DEVINFO_DATA info) override {
    calls.push_back("Open " + Narrow(id) + " " + std::to_string(flags) + " " +
                    std::to_string(info ? info->cbSize : 0));
    return Outcome(open_ok, open_error);
  }
  BOOL SetupDiSetClassInstallParamsW(HDEVINFO, PSP_DEVINFO_DATA, PSP_CLASSINSTALL_HEADER header,
                                     DWORD size) override {
    const auto* p = reinterpret_cast<const SP_PROPCHANGE_PARAMS*>(header);
    calls.push_back("Params " + std::to_string(p->StateChange) + " " + std::to_string(p->Scope) +
                    " " + std::to_string(p->ClassInstallHeader.cbSize) + " " +
                    std::to_string(p->ClassInstallHeader.InstallFunction) + " " +
                    std::to_string(size));
    const bool ok = params_ok.empty() || params_ok.front();
    if (!params_ok.empty()) params_ok.erase(params_ok.begin());
    return Outcome(ok, params_error);
  }
  BOOL SetupDiCallClassInstaller(DI_FUNCTION f, HDEVINFO, PSP_DEVINFO_DATA) override {
    calls.push_back("Call " + std::to_string(f));
    return Outcome(call_ok, call_error);
  }
  BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) override {
    calls.push_back(set == kSet ? "Destroy" : "Destroy other");
    return TRUE;
  }
  BOOL UpdateDriverForPlugAndPlayDevicesW(HWND, LPCWSTR id, LPCWSTR inf, DWORD flags,
                                          PBOOL reboot) override {
    calls.push_back("Update " + Narrow(id) + " " + Narrow(inf) + " " + std::to_string(flags));
    if (reboot) *reboot = TRUE;
    return Outcome(update_ok, update_error);
  }
  SC_HANDLE OpenSCManagerW(LPCWSTR machine, LPCWSTR database, DWORD access) override {
    calls.push_back("OpenSCManager " + Narrow(machine) + " " + Narrow(database) + " " +
                    std::to_string(access));
    return Outcome(manager_ok, manager_error) ? kManager : nullptr;
  }
  SC_HANDLE CreateServiceW(SC_HANDLE, LPCWSTR name, LPCWSTR display, DWORD access, DWORD type,
                           DWORD start, DWORD control, LPCWSTR path, LPCWSTR group, LPDWORD tag,
                           LPCWSTR dependencies, LPCWSTR account, LPCWSTR password) override {
    calls.push_back("CreateService " + Narrow(name) + " " + Narrow(display) + " " +
                    std::to_string(access) + " " + std::to_string(type) + " " +
                    std::to_string(start) + " " + std::to_string(control) + " " + Narrow(path) +
                    (group || tag || dependencies || account || password ? " extra" : ""));
    const DWORD error = create_errors.empty() ? 0 : create_errors.front();
    if (!create_errors.empty()) create_errors.erase(create_errors.begin());
    return Outcome(error == 0, error) ? kService : nullptr;
  }
  SC_HANDLE OpenServiceW(SC_HANDLE, LPCWSTR name, DWORD access) override {
    calls.push_back("OpenService " + Narrow(name) + " " + std::to_string(access));
    return Outcome(open_service_ok, open_service_error) ? kOldService : nullptr;
  }
  BOOL StartServiceW(SC_HANDLE s, DWORD n, LPCWSTR* args) override {
    calls.push_back("Start " + Name(s) + " " + std::to_string(n) + (args ? " args" : ""));
    return Outcome(false, 1056);  // already running: not examined
  }
  BOOL ControlService(SC_HANDLE s, DWORD control, LPSERVICE_STATUS status) override {
    calls.push_back("Control " + Name(s) + " " + std::to_string(control) +
                    (status ? "" : " nostatus"));
    return Outcome(false, 1062);  // not started: not examined
  }
  BOOL DeleteService(SC_HANDLE s) override {
    calls.push_back("Delete " + Name(s));
    return Outcome(false, 1072);  // marked for deletion: not examined
  }
  BOOL CloseServiceHandle(SC_HANDLE s) override {
    calls.push_back("Close " + Name(s));
    ::SetLastError(0);  // a call that succeeds may clear the last error
    return TRUE;
  }
  void Sleep(DWORD ms) override { calls.push_back("Sleep " + std::to_string(ms)); }
  DWORD GetLastError() override { return ::GetLastError(); }
  void OutputDebugStringW(LPCWSTR text) override {
    messages.push_back(Narrow(text));
    ::SetLastError(debug_output_error);  // as the system's debug output may
  }

  std::vector<std::string> calls;
  std::vector<std::string> messages;
  bool create_ok = true, open_ok = true, call_ok = true, update_ok = true, manager_ok = true,
       open_service_ok = true;
  std::vector<bool> params_ok;  // per call; empty: all accepted
  std::vector<DWORD> create_errors;
  DWORD create_error = 8, open_error = 0xE000020Bu, params_error = 13, call_error = 5,
        update_error = 2, manager_error = 5, open_service_error = 1060, debug_output_error = 0;

 private:
  static bool Outcome(bool ok, DWORD error) {
    if (!ok) ::SetLastError(error);
    return ok;
  }
  static std::string Name(SC_HANDLE s) {
    return s == kService ? "new" : s == kOldService ? "old" : s == kManager ? "manager" : "?";
  }
};

constexpr char16_t kHidClass[] = u"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";
const std::string kHidClassData1 = std::to_string(0x745A17A0u);

DWORD RunWith(FakeSystem& fake, const std::u16string& line) {
  return x64stub::RunStub(fake, AsWide(line));
}

std::u16string StateLine(const std::u16string& code) {
  return u"qzX64stub.exe \"HID\\VID_1234&PID_5678\\7&1\" " + code + u" \"" + kHidClass + u"\"";
}

TEST(StubArguments, AnyCountButTwoThreeOrFourExits87WithoutACall) {
  for (const std::u16string line :
       {u"qzX64stub.exe", u"\"C:\\Temp dir\\qzX64stub.exe\" one", u"qzX64stub.exe 1 2 3 4 5",
        u"qzX64stub.exe \"a b\" c d e f"}) {
    FakeSystem fake;
    EXPECT_EQ(RunWith(fake, line), 87u) << qz::TextToUtf8(line);
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_TRUE(fake.messages.empty());
  }
}

TEST(StubStateChange, TheCodeTwoDisablesInTheCurrentProfile) {
  FakeSystem fake;
  EXPECT_EQ(RunWith(fake, StateLine(u"2")), 0u);
  const std::string open = "Open HID\\VID_1234&PID_5678\\7&1 0 " +
                           std::to_string(sizeof(SP_DEVINFO_DATA));
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"CreateList " + kHidClassData1, open,
                                                  "Params 2 2 8 18 20", "Call 18", "Destroy"}));
  EXPECT_TRUE(fake.messages.empty());
}

TEST(StubStateChange, TheCodeOneEnablesEverywhereFirstThenInTheCurrentProfile) {
  FakeSystem fake;
  EXPECT_EQ(RunWith(fake, StateLine(u"1")), 0u);
  EXPECT_EQ(std::vector<std::string>(fake.calls.begin() + 2, fake.calls.end()),
            (std::vector<std::string>{"Params 1 1 8 18 20", "Call 18", "Params 1 2 8 18 20",
                                      "Call 18", "Destroy"}));
}

TEST(StubStateChange, OnlyTheFirstCharacterCountsAndAnythingElseRestarts) {
  for (const auto& [code, state] : std::vector<std::pair<std::u16string, std::string>>{
           {u"3", "3"}, {u"0", "3"}, {u"x", "3"}, {u"\"\"", "3"}, {u"21", "2"}, {u"1x", "1"}}) {
    FakeSystem fake;
    EXPECT_EQ(RunWith(fake, StateLine(code)), 0u);
    EXPECT_EQ(fake.calls[fake.calls.size() - 3], "Params " + state + " 2 8 18 20")
        << qz::TextToUtf8(code);
  }
}

TEST(StubStateChange, PreStepFailureDoesNotStopTheMainStep) {
  FakeSystem fake;
  fake.params_ok = {false, true};
  EXPECT_EQ(RunWith(fake, StateLine(u"1")), 0u);
  EXPECT_EQ(std::vector<std::string>(fake.calls.begin() + 2, fake.calls.end()),
            (std::vector<std::string>{"Params 1 1 8 18 20", "Params 1 2 8 18 20", "Call 18",
                                      "Destroy"}));
}

TEST(StubStateChange, AnUnknownDeviceExitsWithTheOpenErrorAndNoMessage) {
  FakeSystem fake;
  fake.open_ok = false;
  EXPECT_EQ(RunWith(fake, StateLine(u"2")), 0xE000020Bu);
  EXPECT_EQ(fake.calls.back(), "Destroy");
  EXPECT_EQ(fake.calls.size(), 3u);
  EXPECT_TRUE(fake.messages.empty());
}

TEST(StubStateChange, RefusedParametersWriteBothMessagesAndExitWithTheirError) {
  FakeSystem fake;
  fake.params_ok = {false};
  fake.debug_output_error = 0;  // the messages clear the last error on the way
  EXPECT_EQ(RunWith(fake, StateLine(u"2")), 13u);
  EXPECT_EQ(fake.messages, (std::vector<std::string>{"WOW64: SetupDiSetClassInstallParams",
                                                     "WOW64: SetupDiCallClassInstaller"}));
  EXPECT_EQ(fake.calls.back(), "Destroy");
}

TEST(StubStateChange, AFailedChangeWritesOneMessageAndExitsWithItsError) {
  FakeSystem fake;
  fake.call_ok = false;
  fake.debug_output_error = 1234;
  EXPECT_EQ(RunWith(fake, StateLine(u"3")), 5u);
  EXPECT_EQ(fake.messages, (std::vector<std::string>{"WOW64: SetupDiCallClassInstaller"}));
}

TEST(StubStateChange, AFailureWithoutAnErrorCodeStillFails) {
  FakeSystem fake;
  fake.call_ok = false;
  fake.call_error = 0;
  EXPECT_NE(RunWith(fake, StateLine(u"2")), 0u);
}

TEST(StubStateChange, AClassThatDoesNotConvertEndsTheRun) {
  FakeSystem fake;
  EXPECT_EQ(RunWith(fake, u"qzX64stub.exe X 2 {not-a-guid}"),
            static_cast<DWORD>(CO_E_CLASSSTRING));
  EXPECT_TRUE(fake.calls.empty());
}

TEST(StubStateChange, NoSetMeansTheCreationError) {
  FakeSystem fake;
  fake.create_ok = false;
  EXPECT_EQ(RunWith(fake, StateLine(u"2")), 8u);
  EXPECT_EQ(fake.calls.size(), 1u);
}

TEST(StubDriverUpdate, ForcesTheDriverAndReportsOnlySuccess) {
  FakeSystem fake;
  EXPECT_EQ(RunWith(fake, u"qzX64stub.exe USB\\VID_1 \"C:\\Drivers\\my driver.inf\""), 0u);
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"Update USB\\VID_1 C:\\Drivers\\my driver.inf 1"}));
  FakeSystem failing;
  failing.update_ok = false;
  EXPECT_EQ(RunWith(failing, u"qzX64stub.exe USB\\VID_1 C:\\d.inf"), 2u);
}

const std::u16string kInstallLine = u"qzX64stub.exe C:\\drv\\qz.sys qzdrv 1 unused";

TEST(StubService, ATakenNameIsStoppedDeletedAndCreatedAgain) {
  FakeSystem fake;
  fake.create_errors = {ERROR_SERVICE_EXISTS, 0};
  EXPECT_EQ(RunWith(fake, kInstallLine), 0u);
  const std::string create = "CreateService qzdrv qzdrv 16 1 3 1 C:\\drv\\qz.sys";
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"OpenSCManager (null) (null) 2", create,
                                      "OpenService qzdrv 65568", "Control old 1", "Delete old",
                                      "Sleep 100", "Close old", "Sleep 100", create,
                                      "Start new 0", "Close new", "Close manager"}));
  EXPECT_EQ(fake.messages, (std::vector<std::string>{"WOW64 installs kernel service ...",
                                                     "C:\\drv\\qz.sys qzdrv 1 unused"}));
}

TEST(StubService, RemovingAMissingServiceFailsWithTheOpenError) {
  FakeSystem fake;
  fake.open_service_ok = false;
  EXPECT_EQ(RunWith(fake, u"\"C:\\a b\\qzX64stub.exe\" C:\\drv\\qz.sys qzdrv 0 x"), 1060u);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"OpenSCManager (null) (null) 1",
                                                  "OpenService qzdrv 65568", "Close manager"}));
  EXPECT_EQ(fake.messages.back(), "WOW64: CreateService()/OpenService() fails");
  EXPECT_EQ(fake.messages[1], "C:\\drv\\qz.sys qzdrv 0 x");
}

TEST(StubService, FailuresAfterTheHandleStillExitWithZero) {
  FakeSystem fake;  // StartService, ControlService and DeleteService all fail here
  EXPECT_EQ(RunWith(fake, kInstallLine), 0u);
  FakeSystem removing;
  EXPECT_EQ(RunWith(removing, u"qzX64stub.exe C:\\drv\\qz.sys qzdrv 2 x"), 0u);
  EXPECT_EQ(removing.calls,
            (std::vector<std::string>{"OpenSCManager (null) (null) 1", "OpenService qzdrv 65568",
                                      "Control old 1", "Delete old", "Close old",
                                      "Close manager"}));
}

TEST(StubService, NoManagerNoService) {
  FakeSystem fake;
  fake.manager_ok = false;
  EXPECT_EQ(RunWith(fake, kInstallLine), 5u);
  EXPECT_EQ(fake.messages.back(), "WOW64: OpenSCManager() fails");
  EXPECT_EQ(fake.calls.size(), 1u);
  FakeSystem second;  // the name is taken and the second creation fails too
  second.create_errors = {ERROR_SERVICE_EXISTS, 1072};
  EXPECT_EQ(RunWith(second, kInstallLine), 1072u);
  EXPECT_EQ(second.calls.back(), "Close manager");
}

}  // namespace
