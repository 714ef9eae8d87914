// qzhid's subcommands as a user types them, on simulated devices.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "qzhid_run.h"
#include "qzplatform/sim/sim_ground.h"

namespace {

// Two interfaces of one VID:PID with report IDs (input 1, output 2, feature 3), a
// mouse whose script moves it, and a keyboard that refuses reading and writing.
constexpr char kDevices[] = R"({"devices": [
  {"name": "pad", "vendor_id": "0x1209", "product_id": "0x00aa",
   "strings": {"manufacturer": "Test Maker", "product": "Pad A", "serial": "PAD-A1"},
   "report_descriptor": ["06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08",
                         "85 01 09 02 95 04 81 02 85 02 09 03 95 04 91 02",
                         "85 03 09 04 95 02 B1 02 C0"],
   "feature_reports": ["03 11 22"]},
  {"name": "pad2", "vendor_id": "0x1209", "product_id": "0x00aa",
   "strings": {"product": "Pad B", "serial": "PAD-B2"},
   "report_descriptor": ["06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08",
                         "85 01 09 02 95 04 81 02 C0"]},
  {"name": "mouse", "vendor_id": "0x1209", "product_id": "0x0001",
   "report_descriptor": ["05 01 09 02 A1 01 09 30 15 81 25 7F 75 08 95 01 81 06 C0"],
   "input_script": {"period_ms": 20, "repeat": true, "reports": ["00 05", "00 fb"]}},
  {"name": "keyboard", "vendor_id": "0x1209", "product_id": "0x0002",
   "report_descriptor": ["05 01 09 06 A1 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02",
                         "05 08 19 01 29 05 95 05 91 02 95 03 91 01 C0"],
   "behaviour": {"refuse": ["read", "write"]}}
]})";

struct Result {
  int rc = 0;
  std::string out, err;
};

class Qzhid : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = std::filesystem::temp_directory_path() /
            ("qzhid_tool_test_" + std::to_string(::getpid()) + ".json");
    std::ofstream(file_) << kDevices;
  }
  void TearDown() override {
    qzplatform::SetGround(nullptr);
    std::filesystem::remove(file_);
  }
  Result Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--platform=sim", "--sim", file_.string()});
    std::ostringstream out, err;
    Result r;
    r.rc = qzhid::Run(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
  }
  // The machine the last Run installed.
  static std::shared_ptr<qzplatform::sim::Machine> Machine() {
    auto ground = std::dynamic_pointer_cast<qzplatform::sim::SimGround>(qzplatform::CurrentGround());
    return ground ? ground->machine() : nullptr;
  }
  static std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  }

  std::filesystem::path file_;
};

TEST_F(Qzhid, BadUsageExitsWithTwo) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"frobnicate"}, {}, {"list", "--bogus"}, {"info"},
        {"read", "0", "--count"}, {"read", "0", "--count", "x"}, {"write", "0", "zz"},
        {"get-feature", "0", "256"}, {"list", "--vid", "12345"}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.rc, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.err.find("qzhid: "), std::string::npos);
  }
  EXPECT_NE(Run({"frobnicate"}).err.find("unknown subcommand 'frobnicate'"), std::string::npos);
  const Result help = Run({"help"});
  EXPECT_EQ(help.rc, 0);
  EXPECT_NE(help.out.find("get-feature DEVICE ID"), std::string::npos);
}

TEST_F(Qzhid, ListShowsEveryInterfaceAndFilters) {
  const Result all = Run({"list"});
  ASSERT_EQ(all.rc, 0) << all.err;
  EXPECT_EQ(Lines(all.out), 4u);
  EXPECT_NE(all.out.find("0  1209:00aa  usage ff00:0001"), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("in 5 out 5 feature 3  Test Maker  Pad A"), std::string::npos) << all.out;
  const Result pads = Run({"list", "--pid", "0x00AA", "--json"});
  ASSERT_EQ(pads.rc, 0) << pads.err;
  const auto json = nlohmann::json::parse(pads.out);
  ASSERT_EQ(json.size(), 2u);
  EXPECT_EQ(json[1]["product"], "Pad B");
  EXPECT_EQ(Lines(Run({"list", "--usage-page", "1", "--usage", "6"}).out), 1u);
}

TEST_F(Qzhid, DeviceArgumentMustNameExactlyOne) {
  const Result several = Run({"info", "1209:00aa"});
  EXPECT_EQ(several.rc, 1);
  EXPECT_NE(several.err.find("matches 2 HID devices"), std::string::npos) << several.err;
  EXPECT_NE(several.err.find("Pad B"), std::string::npos) << several.err;
  EXPECT_EQ(Run({"info", "1209:0bad"}).rc, 1);
  EXPECT_EQ(Run({"info", "7"}).rc, 1);
  const std::string path = nlohmann::json::parse(Run({"list", "--json"}).out)[3]["path"];
  const Result byPath = Run({"info", path});
  EXPECT_EQ(byPath.rc, 0) << byPath.err;
  EXPECT_NE(byPath.out.find("3  1209:0002"), std::string::npos) << byPath.out;
}

TEST_F(Qzhid, InfoPrintsTheCapabilityTables) {
  const Result r = Run({"info", "1209:00aa:ff00:0001"});
  EXPECT_EQ(r.rc, 1);  // both pads match
  const Result one = Run({"info", "0"});
  ASSERT_EQ(one.rc, 0) << one.err;
  for (const char* text : {"S/N                   PAD-A1", "Input Values 0", "Output Values 0",
                           "Feature Values 0", "Report ID             03"}) {
    EXPECT_NE(one.out.find(text), std::string::npos) << text << "\n" << one.out;
  }
  const auto json = nlohmann::json::parse(Run({"info", "0", "--json"}).out);
  EXPECT_EQ(json["Feature Values"][0]["Usage"], "4 [0004h]");
}

TEST_F(Qzhid, DescriptorAsHexAndItemByItem) {
  const Result hex = Run({"descriptor", "2"});
  ASSERT_EQ(hex.rc, 0) << hex.err;
  EXPECT_EQ(hex.out, "05 01 09 02 a1 01 09 30 15 81 25 7f 75 08 95 01 81 06 c0\n");
  const Result items = Run({"descriptor", "0", "--items"});
  ASSERT_EQ(items.rc, 0) << items.err;
  for (const char* line : {"06 00 ff        Usage Page (65280 Unknown)\n",
                           "a1 01           Collection (Application)\n",
                           "15 00             Logical Minimum (0)\n",
                           "85 03             Report ID (3)\n",
                           "b1 02             Feature (Data,Var,Abs)\n",
                           "c0              End Collection\n"}) {
    EXPECT_NE(items.out.find(line), std::string::npos) << line << items.out;
  }
  EXPECT_NE(Run({"descriptor", "2", "--items"}).out.find("Logical Minimum (-127)"), std::string::npos);
}

TEST_F(Qzhid, WriteChecksLengthAndReportId) {
  ASSERT_EQ(Run({"write", "0", "02 0a 0b", "--pad"}).rc, 0);
  EXPECT_EQ(Machine()->TakeOutputReports(0),
            (std::vector<std::vector<std::uint8_t>>{{2, 0x0a, 0x0b, 0, 0}}));
  ASSERT_EQ(Run({"write", "0", "0x02,0x01,0x02,0x03,0x04", "--set-output"}).rc, 0);
  EXPECT_EQ(Machine()->TakeOutputReports(0).size(), 1u);
  const Result wrongId = Run({"write", "0", "01 00 00 00 00"});
  EXPECT_EQ(wrongId.rc, 1);
  EXPECT_NE(wrongId.err.find("report ID 1 is no output report of the device (its output report IDs: 2)"),
            std::string::npos) << wrongId.err;
  const Result tooLong = Run({"write", "0", "02 00 00 00 00 00", "--pad"});
  EXPECT_EQ(tooLong.rc, 1);
  EXPECT_NE(tooLong.err.find("too many report bytes: 6 bytes given; the output report is 5 bytes"),
            std::string::npos) << tooLong.err;
  EXPECT_NE(Run({"write", "0", "02 00"}).err.find("--pad fills it"), std::string::npos);
  EXPECT_NE(Run({"write", "1", "00"}).err.find("the device has no output report"), std::string::npos);
  EXPECT_TRUE(Machine()->TakeOutputReports(0).empty());
}

TEST_F(Qzhid, FeatureAndInputReports) {
  const Result initial = Run({"get-feature", "0", "3"});
  ASSERT_EQ(initial.rc, 0) << initial.err;
  EXPECT_EQ(initial.out, "03 11 22\n");
  ASSERT_EQ(Run({"set-feature", "0", "03 7f"}).rc, 0);
  EXPECT_EQ(Machine()->FeatureReport(0, 3), (std::vector<std::uint8_t>{3, 0x7f, 0}));
  EXPECT_NE(Run({"get-feature", "0", "0x02"}).err.find("report ID 2 is no feature report"),
            std::string::npos);
  const Result input = Run({"get-input", "0", "1", "--json"});
  ASSERT_EQ(input.rc, 0) << input.err;
  EXPECT_EQ(nlohmann::json::parse(input.out)["bytes"], "01 00 00 00 00");
  const Result refused = Run({"get-input", "3", "0"});
  EXPECT_EQ(refused.rc, 1);
  EXPECT_NE(refused.err.find("HidD_GetInputReport failed: Access is denied (error 5)"),
            std::string::npos) << refused.err;
}

TEST_F(Qzhid, ReadStopsAfterCountOrTimeLimit) {
  const Result two = Run({"read", "2", "--count", "2"});
  ASSERT_EQ(two.rc, 0) << two.err;
  ASSERT_EQ(Lines(two.out), 2u) << two.out;
  EXPECT_NE(two.out.find("  00 05\n"), std::string::npos) << two.out;
  EXPECT_NE(two.out.find("  00 fb\n"), std::string::npos) << two.out;
  const auto start = std::chrono::steady_clock::now();
  const Result quiet = Run({"read", "0", "--timeout", "0.2"});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(quiet.rc, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_NE(quiet.err.find("stopped: time limit reached"), std::string::npos);
}

TEST_F(Qzhid, ReadSaysWhenTheDeviceGoesAwayOrRefusesReading) {
  std::thread unplug([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Machine()->Unplug(0);
  });
  const Result gone = Run({"read", "0", "--timeout", "5"});
  unplug.join();
  EXPECT_EQ(gone.rc, 1);
  EXPECT_NE(gone.err.find("stopped: the device went away"), std::string::npos) << gone.err;
  const Result refused = Run({"read", "3"});
  EXPECT_EQ(refused.rc, 1);
  EXPECT_NE(refused.err.find("the device refuses reading: opening for reading failed: Access is denied"),
            std::string::npos) << refused.err;
}

}  // namespace
