// The device file format: every fault named by device and field, the built-in set,
// and the identities derived for each collection.
#include <filesystem>
#include <fstream>
#include <set>

#include "qzplatform/ascii_text.h"
#include "sim_fixture.h"
#include "test_devices.h"

namespace simtest {
namespace {

using qzplatform::sim::LoadError;
using qzplatform::sim::Machine;

constexpr const char* kVendorDescriptor =
    "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 01 09 01 81 02 95 02 09 02 B1 02 C0";

// A device list of one valid device followed by one with `fields` added.
std::string Second(const std::string& fields) {
  return std::string(R"({"devices": [{"name": "good", "vendor_id": 1, "product_id": 1,
      "report_descriptor": ")") +
         kVendorDescriptor + R"("}, {"name": "bad", )" + fields + "}]}";
}
std::string Valid(const std::string& more) {
  return Second(std::string(R"("vendor_id": 2, "product_id": 2, "report_descriptor": ")") +
                kVendorDescriptor + "\"" + more);
}

// The valid second device under another name.
std::string Renamed(const std::string& name) {
  std::string json = Valid("");
  const std::string bad = R"("name": "bad")";
  return json.replace(json.find(bad), bad.size(), R"("name": )" + name);
}

std::string LoadMessage(const std::string& json) {
  try {
    Machine::LoadJson(json);
  } catch (const LoadError& e) {
    return e.what();
  }
  return "(loaded)";
}

struct BadInput {
  std::string json;
  std::string message;  // expected part of the error
};

TEST(DeviceFormat, FaultsNameTheDeviceAndField) {
  const std::string long_text(127, 'x');
  const BadInput cases[] = {
      {R"({"devices": [)", "not valid JSON at byte"},
      {"[]", "expected an object with a \"devices\" list"},
      {R"({"devices": [], "extra": 1})", "unknown top-level field \"extra\""},
      {R"({"devices": {}})", "\"devices\" must be a list"},
      {R"({"devices": [1, 5]})", "device 0: expected an object"},
      {Second(R"("product_id": 2, "report_descriptor": "00")"),
       "device 1 (\"bad\"), field \"vendor_id\": is missing"},
      {Second(R"("vendor_id": 70000, "product_id": 2, "report_descriptor": "00")"),
       "field \"vendor_id\": 70000 is above the largest value 65535"},
      {Second(R"("vendor_id": -1, "product_id": 2, "report_descriptor": "00")"),
       "field \"vendor_id\": expected a whole number"},
      {Second(R"("vendor_id": "0x12G4", "product_id": 2, "report_descriptor": "00")"),
       "\"0x12G4\" is not a hexadecimal number"},
      {Second(R"("vendor_id": 1, "product_id": 2, "report_descriptor": "05 01 0")"),
       "field \"report_descriptor\": the last byte has one hexadecimal digit"},
      {Second(R"("vendor_id": 1, "product_id": 2, "report_descriptor": "05 0x")"),
       "character 4 ('x') is not a hexadecimal digit"},
      {Second(R"("vendor_id": 1, "product_id": 2, "report_descriptor": ["05 01", 7])"),
       "field \"report_descriptor[1]\": expected a text"},
      {Second(R"("vendor_id": 1, "product_id": 2, "report_descriptor": "")"),
       "field \"report_descriptor\": is empty"},
      {Second(R"("vendor_id": 1, "product_id": 2, "report_descriptor": "A1 01 09 01")"),
       "field \"report_descriptor\": "},
      {Valid(R"(, "behaviour": {"exclusiv": true})"),
       "field \"behaviour.exclusiv\": unknown field"},
      {Valid(R"(, "behaviour": {"echo": "yes"})"),
       "field \"behaviour.echo\": expected true or false"},
      {Valid(R"(, "behaviour": {"refuse": ["read", "exec"]})"),
       "field \"behaviour.refuse[1]\": unknown access mode \"exec\""},
      {Valid(R"(, "strings": {"product": ")" + long_text + "\"}"),
       "field \"strings.product\": has 127 characters"},
      {Valid(R"(, "strings": {"indexed": {"0": "zero"}})"), "field \"strings.indexed.0\""},
      {Valid(R"(, "strings": {"indexed": {"256": "x"}})"), "field \"strings.indexed.256\""},
      {Valid(R"(, "strings": {"indexed": {"+1": "x"}})"), "field \"strings.indexed.+1\""},
      {Valid(R"(, "enumeration": {"class_guid": "{nope}"})"), "field \"enumeration.class_guid\""},
      {Valid(R"(, "enumeration": {"instance_id": "HID\\bad"})"),
       "field \"enumeration.instance_id\": expected <enumerator>"},
      {Valid(R"(, "enumeration": {"instance_id": "HID\\VID_0001&PID_0001\\7&1A2B3C4D&0&0000"})"),
       "device 1 (\"bad\"), field \"enumeration.instance_id\": gives the same device interface as "
       "device 0"},
      {Renamed(R"("good")"), "device 1 (\"good\"), field \"name\": the name is used"},
      {Renamed("7"), "field \"name\": expected a text"},
      {Valid(R"(, "collections": [{}, {}])"),
       "field \"collections\": 2 entries, but the report descriptor has 1"},
      {Valid(R"(, "input_script": {"period_ms": 5})"),
       "field \"input_script.reports\": is missing"},
      {Valid(R"(, "input_script": {"reports": ["05 01"]})"),
       "field \"input_script.reports[0]\": report ID 5 is not an input report"},
      {Valid(R"(, "input_script": {"reports": ["00 01 02"]})"),
       "field \"input_script.reports[0]\": is 3 bytes, longer than the report (2 bytes"},
      {Valid(R"(, "input_script": {"period_ms": 0, "reports": ["00 01"]})"),
       "field \"input_script.period_ms\": must be at least 1"},
      {Valid(R"(, "feature_reports": ["07 01"])"),
       "field \"feature_reports[0]\": report ID 7 is not a feature report"},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(c.json);
    const std::string message = LoadMessage(c.json);
    if (c.message.empty())
      EXPECT_NE(message, "(loaded)");
    else
      EXPECT_NE(message.find(c.message), std::string::npos) << message;
  }
}

TEST(DeviceFormat, LoadFileNamesTheFile) {
  const auto missing = std::filesystem::temp_directory_path() / "qzsim_no_such_devices.json";
  try {
    Machine::LoadFile(missing);
    FAIL() << "loaded a missing file";
  } catch (const LoadError& e) {
    EXPECT_NE(std::string(e.what()).find(missing.string() + ": cannot read"), std::string::npos);
  }
  const auto bad = std::filesystem::temp_directory_path() / "qzsim_bad_devices.json";
  std::ofstream(bad) << Second(R"("vendor_id": 1)");
  try {
    Machine::LoadFile(bad);
    FAIL() << "loaded a bad file";
  } catch (const LoadError& e) {
    EXPECT_NE(std::string(e.what()).find(bad.string() + ": device 1 (\"bad\"), field"),
              std::string::npos)
        << e.what();
  }
  std::ofstream(bad) << "// a comment\n" << kDevices;
  EXPECT_EQ(Machine::LoadFile(bad)->DeviceCount(), 4u);
  std::filesystem::remove(bad);
}

// A number beyond what JSON numbers hold is the documented load error, with the file,
// device and field, like any other fault.
TEST(DeviceFormat, NumberOutOfRangeNamesTheFileDeviceAndField) {
  const auto file = std::filesystem::temp_directory_path() / "qzsim_huge_number.json";
  std::ofstream(file) << Second(R"("vendor_id": 1e999999, "product_id": 2, "report_descriptor": "00")");
  try {
    Machine::LoadFile(file);
    FAIL() << "loaded a number out of range";
  } catch (const LoadError& e) {
    EXPECT_NE(std::string(e.what()).find(file.string() +
                                         ": device 1 (\"bad\"), field \"vendor_id\": number "),
              std::string::npos)
        << e.what();
  }
  std::filesystem::remove(file);
}

TEST(DeviceFormat, DuplicateKeysAreRefused) {
  EXPECT_EQ(LoadMessage(Valid(R"(, "strings": {"product": "a", "product": "b"})")),
            "device 1 (\"bad\"), field \"strings.product\": appears twice; each field may be "
            "given once");
  EXPECT_EQ(LoadMessage(R"({"devices": [], "devices": []})"),
            "field \"devices\": appears twice; each field may be given once");
}

// The ID would end at the NUL, and so would the device path made from it.
TEST(DeviceFormat, ControlCharacterInAnInstanceIdIsRefused) {
  const std::string message = LoadMessage(
      Valid(R"(, "enumeration": {"instance_id": "HID\\VID_0002&PID_0002\\7&1\u0000x"})"));
  EXPECT_NE(message.find("device 1 (\"bad\"), field \"enumeration.instance_id\": character 25 "
                         "is a control character (00h)"),
            std::string::npos)
      << message;
}

TEST(DeviceFormat, EndlessFileIsRefusedAtTheSizeLimit) {
  if (!std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
  try {
    Machine::LoadFile("/dev/zero");
    FAIL() << "loaded /dev/zero";
  } catch (const LoadError& e) {
    EXPECT_EQ(std::string(e.what()), "/dev/zero: is larger than 16 MiB; that is no device file");
  }
}

TEST(DeviceFormat, DocumentedExampleLoads) {
  std::ifstream doc(std::filesystem::path(QZ_SOURCE_DIR) / "docs" / "sim-devices.md");
  ASSERT_TRUE(doc) << "docs/sim-devices.md";
  std::string text((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
  const auto start = text.find("```json\n");
  ASSERT_NE(start, std::string::npos);
  const auto end = text.find("```", start + 8);
  auto machine = Machine::LoadJson(text.substr(start + 8, end - start - 8));
  ASSERT_EQ(machine->CollectionCount(0), 2u);
  EXPECT_EQ(machine->Interfaces()[1].instance_id,
            u"HID\\VID_1209&PID_0010&COL02\\7&2B5C2F8A&0&0001");
  EXPECT_EQ(machine->FeatureReport(0, 3), Hex("03 01 02"));
}

TEST(DeviceFormat, DefaultSetHasTheFourDevices) {
  auto machine = Machine::Default();
  ASSERT_EQ(machine->DeviceCount(), 4u);
  const auto mouse = machine->FindDevice("mouse"), keyboard = machine->FindDevice("keyboard"),
             echo = machine->FindDevice("echo"), gamepad = machine->FindDevice("gamepad");
  EXPECT_EQ(machine->GetBehaviour(keyboard).refuse, (qzplatform::sim::AccessModes{true, true}));
  EXPECT_TRUE(machine->GetBehaviour(echo).echo);
  EXPECT_TRUE(machine->GetBehaviour(gamepad).exclusive);
  EXPECT_FALSE(machine->Description(mouse).input_script.reports.empty());

  const auto interfaces = machine->Interfaces();
  ASSERT_EQ(interfaces.size(), 4u);
  std::set<std::u16string> drivers;
  for (const auto& itf : interfaces) {
    SCOPED_TRACE(itf.device_name);
    EXPECT_EQ(itf.path.rfind(u"\\\\?\\hid#vid_1209&pid_000", 0), 0u);
    EXPECT_TRUE(itf.path.ends_with(u"#{4d1e55b2-f16f-11cf-88cb-001111000030}"));
    EXPECT_EQ(itf.instance_id.rfind(u"HID\\VID_1209&PID_000", 0), 0u);
    EXPECT_TRUE(drivers.insert(itf.driver).second) << "driver keys are unique";
  }
  EXPECT_EQ(interfaces[mouse].caps.InputReportByteLength, 5);
  EXPECT_EQ(interfaces[mouse].description, u"HID-compliant mouse");
  EXPECT_EQ(qzplatform::GuidText(interfaces[mouse].class_guid),
            u"{4D36E96F-E325-11CE-BFC1-08002BE10318}");
  EXPECT_EQ(interfaces[keyboard].caps.InputReportByteLength, 9);
  EXPECT_EQ(interfaces[keyboard].caps.OutputReportByteLength, 2);
  EXPECT_EQ(interfaces[keyboard].service, u"kbdhid");
  EXPECT_EQ(interfaces[echo].caps.InputReportByteLength, 65);
  EXPECT_EQ(interfaces[echo].caps.OutputReportByteLength, 65);
  EXPECT_EQ(interfaces[echo].caps.FeatureReportByteLength, 9);
  EXPECT_EQ(interfaces[gamepad].caps.UsagePage, 1);
}

TEST(DeviceFormat, EachCollectionIsADeviceNodeOfItsOwn) {
  auto machine = Machine::LoadJson(kDevices);
  const auto all = machine->Interfaces();
  std::vector<qzplatform::sim::InterfaceInfo> combo;
  for (const auto& itf : all)
    if (itf.device == kCombo) combo.push_back(itf);
  ASSERT_EQ(combo.size(), 2u);
  EXPECT_EQ(combo[0].instance_id, u"HID\\VID_1209&PID_0011&COL01\\7&2B5C2F8A&0&0000");
  EXPECT_EQ(combo[1].instance_id, u"HID\\VID_1209&PID_0011&COL02\\7&2B5C2F8A&0&0001");
  EXPECT_EQ(combo[0].path,
            u"\\\\?\\hid#vid_1209&pid_0011&col01#7&2b5c2f8a&0&0000#{4d1e55b2-f16f-11cf-88cb-"
            u"001111000030}");
  EXPECT_EQ(combo[1].path,
            u"\\\\?\\hid#vid_1209&pid_0011&col02#7&2b5c2f8a&0&0001#{4d1e55b2-f16f-11cf-88cb-"
            u"001111000030}");
  EXPECT_EQ(combo[0].description, u"HID-compliant mouse");
  EXPECT_EQ(combo[1].description, u"Volume keys");
  EXPECT_NE(combo[0].driver, combo[1].driver);
}

}  // namespace
}  // namespace simtest
