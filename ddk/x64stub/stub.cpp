// The device helper's three forms, chosen by the number of arguments after its own
// name: a device state change (3), a driver update (2), and the installation or
// removal of a kernel-driver service (4). Every failure ends with the error of the
// call that failed, taken as that call returns: a debugging message written after it
// may change the thread's last-error value, and a failure must never exit with 0.
#include <string>

#include "property_change.h"
#include "stub.h"

namespace x64stub {
namespace {

using qzplatform::AsWide;

constexpr DWORD kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr DWORD kGenFailure = 31;        // ERROR_GEN_FAILURE

// The arguments of one run, freed with the block CommandLineToArgvW made.
class Arguments {
 public:
  Arguments(StubSystem& system, LPCWSTR commandLine)
      : system_(system), argv_(system.CommandLineToArgvW(commandLine, &count_)) {}
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  ~Arguments() {
    if (argv_) system_.LocalFree(argv_);
  }
  // Arguments after the program's own name.
  int count() const { return argv_ && count_ > 0 ? count_ - 1 : 0; }
  LPCWSTR operator[](int i) const { return argv_[i]; }  // 1-based, as on the command line

 private:
  StubSystem& system_;
  int count_ = 0;
  LPWSTR* argv_;
};

char16_t First(LPCWSTR text) { return text ? static_cast<char16_t>(text[0]) : u'\0'; }

// The error the failed call left, never 0.
DWORD ErrorOf(StubSystem& system) {
  const DWORD error = system.GetLastError();
  return error != 0 ? error : kGenFailure;
}

void Message(StubSystem& system, const std::u16string& text) {
  system.OutputDebugStringW(AsWide(text));
}

// The command line after the program's name: a quoted name runs to its closing quote,
// an unquoted one to the first blank.
std::u16string ArgumentText(LPCWSTR commandLine) {
  std::u16string line = commandLine ? qzplatform::AsChar16(commandLine) : u"";
  std::size_t i = 0;
  if (!line.empty() && line[0] == u'"') {
    i = line.find(u'"', 1);
    i = i == std::u16string::npos ? line.size() : i + 1;
  } else {
    while (i < line.size() && line[i] != u' ' && line[i] != u'\t') ++i;
  }
  while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
  return line.substr(i);
}

// Sets the property-change parameters; true when accepted.
BOOL SetParams(StubSystem& s, HDEVINFO set, SP_DEVINFO_DATA& info, DWORD state, DWORD scope) {
  SP_PROPCHANGE_PARAMS params = PropertyChangeParams(state, scope);
  return s.SetupDiSetClassInstallParamsW(set, &info, &params.ClassInstallHeader, sizeof params);
}

// Instance ID, state code ("1" enable, "2" disable, anything else restart), class GUID.
DWORD StateChange(StubSystem& s, const Arguments& args) {
  GUID classGuid{};
  // A class GUID that does not convert ends the run: it would name no class, or the
  // wrong one.
  const HRESULT converted = s.CLSIDFromString(args[3], &classGuid);
  if (converted != S_OK) return static_cast<DWORD>(converted);
  HDEVINFO set = s.SetupDiCreateDeviceInfoList(&classGuid, nullptr);
  if (set == INVALID_HANDLE_VALUE) return ErrorOf(s);
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  if (!s.SetupDiOpenDeviceInfoW(set, args[1], nullptr, 0, &info)) {
    const DWORD error = ErrorOf(s);
    s.SetupDiDestroyDeviceInfoList(set);
    return error;
  }
  const char16_t code = First(args[2]);
  const DWORD state = code == u'1' ? DICS_ENABLE : code == u'2' ? DICS_DISABLE : DICS_PROPCHANGE;
  if (state == DICS_ENABLE && SetParams(s, set, info, DICS_ENABLE, DICS_FLAG_GLOBAL))
    s.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &info);

  DWORD exitCode = 0;
  if (!SetParams(s, set, info, state, DICS_FLAG_CONFIGSPECIFIC)) {
    exitCode = ErrorOf(s);
    Message(s, u"WOW64: SetupDiSetClassInstallParams");
    Message(s, u"WOW64: SetupDiCallClassInstaller");
  } else if (!s.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, &info)) {
    exitCode = ErrorOf(s);
    Message(s, u"WOW64: SetupDiCallClassInstaller");
  }
  s.SetupDiDestroyDeviceInfoList(set);
  return exitCode;
}

// Hardware ID, full path of the driver's INF file.
DWORD DriverUpdate(StubSystem& s, const Arguments& args) {
  BOOL reboot = FALSE;  // whether a reboot is needed is not reported
  if (s.UpdateDriverForPlugAndPlayDevicesW(nullptr, args[1], args[2], INSTALLFLAG_FORCE, &reboot))
    return 0;
  return ErrorOf(s);
}

SC_HANDLE CreateDriverService(StubSystem& s, SC_HANDLE manager, const Arguments& args) {
  return s.CreateServiceW(manager, args[2], args[2], SERVICE_START, SERVICE_KERNEL_DRIVER,
                          SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, args[1], nullptr, nullptr,
                          nullptr, nullptr, nullptr);
}

// Driver file path, service name, "1" install (anything else remove), a fourth
// argument that is not read.
DWORD Service(StubSystem& s, const Arguments& args, LPCWSTR commandLine) {
  Message(s, u"WOW64 installs kernel service ...");
  Message(s, ArgumentText(commandLine));
  const bool install = First(args[3]) == u'1';
  SC_HANDLE manager =
      s.OpenSCManagerW(nullptr, nullptr, install ? SC_MANAGER_CREATE_SERVICE : SC_MANAGER_CONNECT);
  if (!manager) {
    const DWORD error = ErrorOf(s);
    Message(s, u"WOW64: OpenSCManager() fails");
    return error;
  }
  SC_HANDLE service = nullptr;
  if (install) {
    service = CreateDriverService(s, manager, args);
    if (!service && s.GetLastError() == ERROR_SERVICE_EXISTS) {
      // The name is taken: stop and delete the old service, then create it anew.
      SC_HANDLE old = s.OpenServiceW(manager, args[2], DELETE | SERVICE_STOP);
      if (old) {
        SERVICE_STATUS status{};
        s.ControlService(old, SERVICE_CONTROL_STOP, &status);
        s.DeleteService(old);
        s.Sleep(100);
        s.CloseServiceHandle(old);
        s.Sleep(100);
        service = CreateDriverService(s, manager, args);
      }
    }
  } else {
    service = s.OpenServiceW(manager, args[2], SERVICE_STOP | DELETE);
  }
  if (!service) {
    const DWORD error = ErrorOf(s);
    Message(s, u"WOW64: CreateService()/OpenService() fails");
    s.CloseServiceHandle(manager);
    return error;
  }
  if (install) {
    s.StartServiceW(service, 0, nullptr);
  } else {
    SERVICE_STATUS status{};
    s.ControlService(service, SERVICE_CONTROL_STOP, &status);
    s.DeleteService(service);
  }
  s.CloseServiceHandle(service);
  s.CloseServiceHandle(manager);
  return 0;
}

}  // namespace

DWORD RunStub(StubSystem& system, LPCWSTR commandLine) {
  const Arguments args(system, commandLine);
  switch (args.count()) {
    case 2: return DriverUpdate(system, args);
    case 3: return StateChange(system, args);
    case 4: return Service(system, args, commandLine);
    default: return kInvalidParameter;
  }
}

}  // namespace x64stub
