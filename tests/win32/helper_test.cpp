// The embedded 64-bit device helper on the system: written, run and removed by the
// library, its exit code coming back whole. Wine 8 carries out no device state change
// (its class installer is a stub that fails), so a change asked of a real device fails.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qzsysutils/qzsysutils.h"
#include "qzwin32/qzwin32.h"
#include "qzwin32di/qzwin32di.h"
#include "system_devices.h"

namespace {

const std::u16string kHidClass = u"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

// The helper's run folders now in the temporary folder.
std::vector<std::wstring> HelperFolders() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((TempFolder() + L"qzX64stub-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

TEST(SystemHelper, RunsInAFolderOfItsOwnThatIsRemovedAfterwards) {
  const auto before = HelperFolders();
  // One argument is no form of the helper's: it ends with ERROR_INVALID_PARAMETER.
  EXPECT_FALSE(qz::DiRunX64Stub(u"\"one\""));
  // A driver update for a hardware ID nothing has: Wine reports success.
  EXPECT_TRUE(qz::DiRunX64Stub(u"\"QZ\\NO_SUCH_HARDWARE\" \"C:\\qz-none.inf\""));
  EXPECT_EQ(HelperFolders(), before);
}

// Writes the embedded image as the library does, runs it with `parameters` through the
// library's RunProcess and gives the exit code that RunProcess leaves as the last error.
DWORD RunHelper(const std::u16string& parameters) {
  const std::wstring folder = TempFolder() + L"qz-helper-test";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::u16string file = qzplatform::AsChar16((folder + L"\\qzX64stub.exe").c_str());
  DWORD code = ~0u;
  if (qz::SaveResourceToFile(u"qzx64stub", file, CREATE_ALWAYS)) {
    qz::RunProcess(u"\"" + file + u"\" " + parameters, qzplatform::AsChar16(folder.c_str()), true,
                   true);
    code = GetLastError();
  } else {
    ADD_FAILURE() << "the helper's image could not be written";
  }
  DeleteFileW(qzplatform::AsWide(file));
  RemoveDirectoryW(folder.c_str());
  return code;
}

TEST(SystemHelper, ExitCodesComeBackWhole) {
  // A class GUID that does not convert: CLSIDFromString's HRESULT, all 32 bits of it.
  EXPECT_EQ(RunHelper(u"\"ROOT\\QZ\\0000\" 2 \"{not a GUID}\""), 0x800401F3u);  // CO_E_CLASSSTRING
  // A device instance that does not exist: ERROR_NO_SUCH_DEVINST.
  EXPECT_EQ(RunHelper(u"\"ROOT\\QZ\\0000\" 2 \"" + kHidClass + u"\""), 0xE000020Bu);
  EXPECT_EQ(RunHelper(u"\"one\""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(SystemHelper, StateChangesOfARealDeviceFailUnderWine) {
  qz::TqzHid hid(nullptr);
  hid.DeviceListLoad();
  const auto records = qztest::VirtualDevices(hid);
  ASSERT_FALSE(records.empty());
  const qz::Text instance = records[0]->InstanceId;
  EXPECT_FALSE(qz::DiDisableDevice(instance));
  // Wine's class installer refuses every property change.
  EXPECT_EQ(RunHelper(u"\"" + instance + u"\" 2 \"" + kHidClass + u"\""),
            static_cast<DWORD>(ERROR_GEN_FAILURE));
  // A device that cannot be opened raises the system's code in hexadecimal.
  try {
    qz::DiDisableDevice(u"ROOT\\QZ\\0000");
    ADD_FAILURE() << "no error raised";
  } catch (const qz::Error& e) {
    EXPECT_EQ(e.Message(), u"E000020B");
  }
}

}  // namespace
