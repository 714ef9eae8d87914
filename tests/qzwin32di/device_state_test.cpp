// Device state changes made directly: property changes and their effect on the
// simulated device, removal and reset, and the failures that raise or give false.
#include <cctype>
#include <thread>

#include "enumeration_fixture.h"
#include "qzclasses/errors.h"

namespace w32ditest {
namespace {

using qzplatform::sim::PropertyChange;

class DeviceState : public Enumeration {
 protected:
  void SetUp() override {
    Enumeration::SetUp();
    Load(OneDevice(kVendorDescriptor));
    id = machine->Interfaces()[0].instance_id;
    path = machine->Interfaces()[0].path;
  }
  HANDLE Open(DWORD flags = 0) {
    return CreateFileW(qzplatform::AsWide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, flags, nullptr);
  }
  static std::vector<std::pair<DWORD, DWORD>> StatesAndScopes(
      const std::vector<PropertyChange>& changes) {
    std::vector<std::pair<DWORD, DWORD>> result;
    for (const PropertyChange& c : changes) result.emplace_back(c.state, c.scope);
    return result;
  }

  std::u16string id, path;
};

TEST_F(DeviceState, AnUnknownDeviceRaisesItsErrorCodeButRemovalGivesFalse) {
  try {
    qz::DiDisableDevice(u"HID\\VID_0000&PID_0000\\0");
    FAIL() << "no exception";
  } catch (const qz::Error& e) {
    EXPECT_EQ(e.Message(), u"E000020B");  // ERROR_NO_SUCH_DEVINST, hexadecimal, no prefix
  }
  EXPECT_THROW(qz::DiChangeDeviceState(u"", DICS_ENABLE), qz::Error);
  EXPECT_FALSE(qz::DiRemoveDevice(u"HID\\VID_0000&PID_0000\\0"));
  EXPECT_FALSE(qz::DiResetDevice(u"HID\\VID_0000&PID_0000\\0"));
  // An ID with a NUL in it would name the device of its first part.
  try {
    qz::DiDisableDevice(id + std::u16string(1, u'\0') + u"x");
    FAIL() << "no exception";
  } catch (const qz::Error& e) {
    EXPECT_EQ(e.Message(), u"E0000205");
  }
  EXPECT_FALSE(qz::DiRemoveDevice(id + std::u16string(1, u'\0')));
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
  EXPECT_FALSE(machine->NodeRemoved(0, 0));
}

// The sim ground, counting how often "SetupAPI.dll" is looked up.
class WatchedSetupApi : public qzplatform::sim::SimGround {
 public:
  using SimGround::SimGround;
  std::shared_ptr<const qzplatform::Module> FindModule(std::u16string_view name) override {
    std::string key;
    for (char16_t c : name) key += static_cast<char>(std::tolower(c & 0x7F));
    if (key.rfind("setupapi", 0) == 0) ++lookups;
    return SimGround::FindModule(name);
  }
  int lookups = 0;
};

TEST_F(DeviceState, AnEmptyInstanceIdNeverReachesTheSystem) {
  // To Windows an empty ID is the root of the device tree.
  auto ground = std::make_shared<WatchedSetupApi>(machine);
  qzplatform::SetGround(ground);
  try {
    qz::DiDisableDevice(u"");
    FAIL() << "no exception";
  } catch (const qz::Error& e) {
    EXPECT_EQ(e.Message(), u"E0000205");  // ERROR_INVALID_DEVINST_NAME
  }
  EXPECT_FALSE(qz::DiRemoveDevice(u""));
  EXPECT_EQ(GetLastError(), 0xE0000205u);
  EXPECT_FALSE(qz::DiResetDevice(u""));
  EXPECT_EQ(ground->lookups, 0);
  EXPECT_TRUE(machine->TakePropertyChanges().empty());
}

TEST_F(DeviceState, DisablingFailsThePendingReadAndHidesTheDeviceUntilEnabled) {
  HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  BYTE buffer[9];
  ASSERT_FALSE(ReadFile(handle, buffer, sizeof buffer, nullptr, &ov));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

  EXPECT_TRUE(qz::DiDisableDevice(id));
  DWORD got = 0;
  EXPECT_FALSE(GetOverlappedResult(handle, &ov, &got, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(EnumHid().empty());  // a disabled device has no present interface
  EXPECT_FALSE(machine->PushInput(0, {0, 1, 2, 3, 4, 5, 6, 7, 8}));

  EXPECT_TRUE(qz::DiEnableDevice(id));
  HANDLE again = Open();
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_EQ(EnumHid().size(), 1u);
  // The old handle stays dead, as after an unplug.
  EXPECT_FALSE(ReadFile(handle, buffer, sizeof buffer, nullptr, &ov));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(StatesAndScopes(machine->TakePropertyChanges()),
            (std::vector<std::pair<DWORD, DWORD>>{{DICS_DISABLE, DICS_FLAG_CONFIGSPECIFIC},
                                                  {DICS_ENABLE, DICS_FLAG_GLOBAL},
                                                  {DICS_ENABLE, DICS_FLAG_CONFIGSPECIFIC}}));
  CloseHandle(again);
  CloseHandle(handle);
  CloseHandle(ov.hEvent);
}

TEST_F(DeviceState, EnablingAnEnabledDeviceGoesThroughBothSteps) {
  EXPECT_TRUE(qz::DiEnableDevice(id));
  EXPECT_EQ(StatesAndScopes(machine->TakePropertyChanges()),
            (std::vector<std::pair<DWORD, DWORD>>{{DICS_ENABLE, DICS_FLAG_GLOBAL},
                                                  {DICS_ENABLE, DICS_FLAG_CONFIGSPECIFIC}}));
}

TEST_F(DeviceState, RestartingEndsOpenHandlesAndLeavesTheDeviceUsable) {
  HANDLE handle = Open();
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(qz::DiRestartDevice(id));
  BYTE buffer[9];
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(handle, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  HANDLE fresh = Open();
  ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(machine->PushInput(0, {0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(ReadFile(fresh, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 9u);
  EXPECT_EQ(StatesAndScopes(machine->TakePropertyChanges()),
            (std::vector<std::pair<DWORD, DWORD>>{{DICS_PROPCHANGE, DICS_FLAG_CONFIGSPECIFIC}}));
  CloseHandle(fresh);
  CloseHandle(handle);
}

TEST_F(DeviceState, TheUsbNodeTakesItsCollectionsWithIt) {
  const std::u16string usb = FindRecord(Enum(&qzplatform::sim::kHidClassGuid, true, true, false),
                                        &qz::TqzDevice::Description, u"USB Input Device")
                                 ->InstanceId;
  EXPECT_TRUE(qz::DiDisableDevice(usb));
  EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(machine->NodeEnabled(0, 0));  // the collection's own node is untouched
  EXPECT_TRUE(qz::DiEnableDevice(usb));
  HANDLE h = Open();
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

TEST_F(DeviceState, ARemovedDeviceIsGoneAndAResetBringsItBack) {
  EXPECT_TRUE(qz::DiRemoveDevice(id));
  EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
  EXPECT_THROW(qz::DiEnableDevice(id), qz::Error);  // no such device any more
  EXPECT_FALSE(qz::DiRemoveDevice(id));
  machine->Replug(0);  // not unplugged: replugging does nothing
  machine->Unplug(0);
  machine->Replug(0);  // a device plugged in again is found anew
  EXPECT_FALSE(machine->NodeRemoved(0, 0));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(qz::DiResetDevice(id));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  HANDLE h = Open();
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

TEST_F(DeviceState, ARefusedChangeGivesFalseAndRunsNoHelper) {
  machine->SetElevated(false);
  EXPECT_FALSE(qz::DiDisableDevice(id));
  EXPECT_FALSE(qz::DiRemoveDevice(id));
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
  EXPECT_TRUE(machine->TakePropertyChanges().empty());
}

TEST_F(DeviceState, MissingOptionalEntriesAreNeverCalled) {
  qzplatform::HideEntry(u"SetupAPI.dll", "SetupDiRemoveDevice");
  qzplatform::HideEntry(u"SetupAPI.dll", "SetupDiOpenDeviceInfoW");
  try {
    qz::DiDisableDevice(id);
    FAIL() << "no exception";
  } catch (const qz::Error& e) {
    EXPECT_EQ(e.Message(), u"7F");  // ERROR_PROC_NOT_FOUND
  }
  EXPECT_FALSE(qz::DiRemoveDevice(id));
  EXPECT_FALSE(qz::DiResetDevice(id));
  EXPECT_FALSE(machine->NodeRemoved(0, 0));
}

TEST_F(DeviceState, WithoutTheLibraryNothingHappens) {
  qzplatform::HideModule(u"SetupAPI.dll");
  EXPECT_FALSE(qz::DiDisableDevice(id));
  EXPECT_FALSE(qz::DiRemoveDevice(id));
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
}

TEST_F(DeviceState, EverySetIsReleased) {
  const std::size_t before = qzplatform::OpenHandleCount();
  qz::DiDisableDevice(id);
  qz::DiEnableDevice(id);
  EXPECT_THROW(qz::DiRestartDevice(u"X\\Y\\Z"), qz::Error);
  qz::DiRemoveDevice(u"X\\Y\\Z");
  EXPECT_EQ(qzplatform::OpenHandleCount(), before);
}

}  // namespace
}  // namespace w32ditest
