// qzhid's subcommands as a user types them, on simulated devices.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
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
   "strings": {"product": "Test Mouse"},
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
    for (const auto& path : extra_) std::filesystem::remove(path);
  }
  // On the test's devices.
  Result Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--platform=sim", "--sim", file_.string()});
    return RunAlone(args);
  }
  static Result RunAlone(const std::vector<std::string>& args) {
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

  // A file beside the device file, removed with it.
  std::string Write(const std::string& name, const std::string& text) {
    const auto path = file_.parent_path() / (file_.stem().string() + "_" + name);
    std::ofstream(path) << text;
    extra_.push_back(path);
    return path.string();
  }
  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The E: lines' times (microseconds) and bytes.
  static std::vector<std::pair<long, std::string>> Events(const std::string& recording) {
    std::vector<std::pair<long, std::string>> events;
    std::istringstream in(recording);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("E: ", 0) != 0) continue;
      const std::size_t dot = line.find('.'), blank = line.find(' ', dot);
      events.emplace_back(std::stol(line.substr(3, dot - 3)) * 1000000 +
                              std::stol(line.substr(dot + 1, blank - dot - 1)),
                          line.substr(blank + 1));
    }
    return events;
  }

  std::filesystem::path file_;
  std::vector<std::filesystem::path> extra_;
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
  EXPECT_EQ(json["Feature Values"][0]["Usage"], "4 [0004h]  Vendor-defined 0xFF00:0x0004");
}

TEST_F(Qzhid, DescriptorAsHexAndItemByItem) {
  const Result hex = Run({"descriptor", "2"});
  ASSERT_EQ(hex.rc, 0) << hex.err;
  EXPECT_EQ(hex.out, "05 01 09 02 a1 01 09 30 15 81 25 7f 75 08 95 01 81 06 c0\n");
  const Result items = Run({"descriptor", "0", "--items"});
  ASSERT_EQ(items.rc, 0) << items.err;
  for (const char* line : {"06 00 ff        Usage Page (65280 Vendor-defined 0xFF00)\n",
                           "09 01           Usage (1 Vendor-defined 0xFF00:0x0001)\n",
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
  const Result two = Run({"read", "2", "--count", "2", "--raw"});
  ASSERT_EQ(two.rc, 0) << two.err;
  ASSERT_EQ(Lines(two.out), 2u) << two.out;
  EXPECT_NE(two.out.find("  00 05\n"), std::string::npos) << two.out;
  EXPECT_NE(two.out.find("  00 fb\n"), std::string::npos) << two.out;
  const Result decoded = Run({"read", "2", "--count", "1"});
  ASSERT_EQ(decoded.rc, 0) << decoded.err;
  EXPECT_NE(decoded.out.find("  00 05\n"), std::string::npos) << decoded.out;
  EXPECT_NE(decoded.out.find(" = 5\n"), std::string::npos) << decoded.out;
  const auto json = nlohmann::json::parse(Run({"read", "2", "--count", "1", "--json"}).out);
  EXPECT_EQ(json["bytes"], "00 05");
  EXPECT_EQ(json["fields"][0]["usage"], 0x30);
  EXPECT_EQ(json["fields"][0]["value"], 5);
  const auto start = std::chrono::steady_clock::now();
  const Result quiet = Run({"read", "0", "--timeout", "0.2"});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(quiet.rc, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_NE(quiet.err.find("stopped: time limit reached"), std::string::npos);
}

TEST_F(Qzhid, CtrlCStopsReadingCleanly) {
  std::thread interrupt([] {
    // Once qzhid has taken Ctrl-C over, it is sent.
    for (struct sigaction now{}; sigaction(SIGINT, nullptr, &now) == 0 && now.sa_handler == SIG_DFL;)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::raise(SIGINT);
  });
  const Result r = Run({"read", "0", "--timeout", "10"});
  interrupt.join();
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.err.find("stopped: interrupted (Ctrl-C)"), std::string::npos) << r.err;
  struct sigaction after{};
  ASSERT_EQ(sigaction(SIGINT, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, SIG_DFL) << "Ctrl-C ends programs again once qzhid is done";
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
  const std::string unread = Write("unread.rec", "") + ".none";
  EXPECT_EQ(Run({"record", "3", unread}).rc, 1);
  EXPECT_FALSE(std::filesystem::exists(unread)) << "no recording is left of a device that cannot be read";
  EXPECT_NE(refused.err.find("the device refuses reading: opening for reading failed: Access is denied"),
            std::string::npos) << refused.err;
}

TEST_F(Qzhid, RecordThenReplayIntoTheSimGivesTheSameEventsAndTiming) {
  const std::string first = Write("first.rec", "");
  const Result recorded = Run({"record", "2", first, "--count", "6"});
  ASSERT_EQ(recorded.rc, 0) << recorded.err;
  const std::string text = ReadAll(first);
  EXPECT_NE(text.find("N: Test Mouse\nP: \\\\?\\hid#vid_1209&pid_0001"), std::string::npos) << text;
  EXPECT_NE(text.find("I: 3 1209 0001\nR: 19 05 01 09 02 a1 01"), std::string::npos) << text;
  const auto before = Events(text);
  ASSERT_EQ(before.size(), 6u) << text;
  EXPECT_EQ(before[0].second, "1 05");  // no report IDs: hidraw's bytes, without the 0

  const std::string devices = Write("replay.json", R"({"devices": [{"recording": ")" +
                                                       std::filesystem::path(first).filename().string() +
                                                       R"(", "name": "replayed"}]})");
  // The events are the same every time; the timing is held to 5 ms, a quarter of the
  // mouse's 20 ms period, in at least one of three replays: a replay that ignored the
  // recorded times would be off by a period or more, while a busy machine (or a sanitizer
  // build) may wake a thread a few milliseconds late.
  const std::string second = Write("second.rec", "");
  std::vector<long> worst;
  for (int attempt = 0; attempt < 3 && (worst.empty() || worst.back() > 5000); ++attempt) {
    const Result again = RunAlone({"--sim", devices, "record", "0", second, "--count", "6"});
    ASSERT_EQ(again.rc, 0) << again.err;
    const auto after = Events(ReadAll(second));
    ASSERT_EQ(after.size(), before.size());
    long deviation = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
      EXPECT_EQ(after[i].second, before[i].second) << i;
      deviation = std::max(deviation, std::abs(after[i].first - before[i].first));
    }
    worst.push_back(deviation);
  }
  EXPECT_LE(worst.back(), 5000) << "the largest deviation of each replay, in microseconds: "
                                << ::testing::PrintToString(worst);
}

TEST_F(Qzhid, ReplayPlaysARecordingOfSeveralDevicesWithComments) {
  const Result r = RunAlone({"replay", QZ_RECORDINGS_DIR "/two-devices.rec"});
  ASSERT_EQ(r.rc, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> shown;
  double last = 0;
  for (std::string line; std::getline(lines, line);) {
    last = std::stod(line);
    shown.push_back(line.substr(line.find('[')));
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"[0]  00 01 00 00", "[1]  02 e9 00",
                                             "[0]  00 00 05 fb", "[1]  02 00 00"}));
  EXPECT_GE(last, 0.150);
  EXPECT_LT(last, 0.5);
  EXPECT_NE(r.err.find("replayed 4 input reports"), std::string::npos);
}

TEST_F(Qzhid, BadRecordingsAreRefusedWithTheirLine) {
  const std::string header = "N: pad\nI: 3 1209 0001\nR: 19 05 01 09 02 a1 01 09 30 15 81 25 7f 75 08 95 01 81 06 c0\n";
  const std::pair<const char*, std::string> cases[] = {
      {":3: 19 bytes declared but 18 given", "N: pad\n\nR: 19 05 01 09 02 a1 01 09 30 15 81 25 7f 75 08 95 01 81 06\n"},
      {":4: expected a line such as", header + "garbage\n"},
      {":5: unknown line type 'X:'", header + "E: 0.1 1 05\nX: 1\n"},
      {":4: an event of 2 bytes; the descriptor's input reports have at most 1", header + "E: 0.1 2 05 06\n"},
      {":5: the time stamp 000000.500000 is earlier", header + "E: 1.0 1 05\nE: 000000.500000 1 06\n"},
      {":1: an event before the device's report descriptor", "E: 0.0 1 05\n" + header},
      {":4: 2 bytes declared but 1 given (is the line truncated?)", header + "E: 0.2 2 05"},
      {":4: byte '+5' is not a number up to 255", header + "E: 0.2 1 +5\n"},
      {"no device in the recording", "# nothing but a comment\n"},
  };
  for (const auto& [message, text] : cases) {
    const Result r = RunAlone({"replay", Write("bad.rec", text)});
    EXPECT_EQ(r.rc, 1) << message;
    EXPECT_NE(r.err.find(message), std::string::npos) << message << "\n" << r.err;
  }
  EXPECT_EQ(RunAlone({"replay", Write("missing.rec", "") + ".none"}).rc, 1);

  // A device file naming a bad recording says which device, the file and the line.
  const std::string bad = Write("named.rec", header + "E: 0.1 2 05 06\n");
  const std::string devices = Write("named.json", R"({"devices": [{"recording": ")" +
                                                      std::filesystem::path(bad).filename().string() +
                                                      R"("}]})");
  const Result named = RunAlone({"--sim", devices, "list"});
  EXPECT_EQ(named.rc, 1);
  EXPECT_NE(named.err.find("field \"recording\": " + bad + ":4: an event of 2 bytes"), std::string::npos)
      << named.err;
  const std::string good = Write("good.rec", header);
  const Result beyond = RunAlone({"--sim", Write("beyond.json", R"({"devices": [{"recording": ")" +
                                                     std::filesystem::path(good).filename().string() +
                                                     R"(", "recording_device": 1}]})"), "list"});
  EXPECT_EQ(beyond.rc, 1);
  EXPECT_NE(beyond.err.find("recording_device"), std::string::npos) << beyond.err;
}

}  // namespace
