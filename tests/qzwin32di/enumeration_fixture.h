// A sim machine installed per test, with the device-installation binding released
// before and after, so each test binds on its own machine.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "qzplatform/sim/sim_ground.h"
#include "qzplatform/test_hooks.h"
#include "qzwin32di/qzwin32di.h"

namespace w32ditest {

using qzplatform::sim::Machine;

class Enumeration : public ::testing::Test {
 protected:
  void SetUp() override { qz::FreeSetupApi(); }
  void TearDown() override {
    qz::FreeSetupApi();
    qzplatform::RevealAll();
    qzplatform::SetGround(nullptr);
  }
  void UseDefault() { machine = qzplatform::sim::Install(); }
  void Load(const std::string& json) {
    machine = qzplatform::sim::Install(Machine::LoadJson(json));
  }

  // DiEnumInstalledDevices into a fresh list.
  qz::TqzDeviceRecords Enum(const GUID* guid, bool presentOnly, bool deviceMode,
                            bool withInterfaces) {
    qz::TqzDeviceRecords list;
    qz::DiEnumInstalledDevices(guid, presentOnly, deviceMode, withInterfaces, list);
    return list;
  }
  // What the HID component asks for first: HID interfaces, present, device mode.
  qz::TqzDeviceRecords EnumHid(bool deviceMode = true) {
    return Enum(&qzplatform::sim::kHidInterfaceGuid, true, deviceMode, true);
  }

  std::shared_ptr<Machine> machine;
};

// The record whose field `member` equals `value`, or null.
template <typename Member>
const qz::TqzDevice* FindRecord(const qz::TqzDeviceRecords& list, Member member,
                                const std::u16string& value) {
  for (const auto& [text, record] : list)
    if ((*record).*member == value) return record.get();
  return nullptr;
}

// A device file with one device made of `fields` (JSON members without braces).
inline std::string OneDevice(const std::string& fields) {
  return R"({"devices": [{"name": "dev", "vendor_id": "0x1234", "product_id": "0x5678", )" +
         fields + "}]}";
}

// Vendor-defined, one collection, 8-byte input report.
constexpr const char* kVendorDescriptor =
    R"("report_descriptor": "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 08 09 02 81 02 C0")";

// A keyboard collection and a consumer-control collection.
constexpr const char* kTwoCollections = R"("report_descriptor": [
  "05 01 09 06 A1 01 85 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02 C0",
  "05 0C 09 01 A1 01 85 02 19 00 2A 3C 02 15 00 26 3C 02 95 01 75 10 81 00 C0"])";

}  // namespace w32ditest
