// The twelve report transfers against the simulated echo device (64-byte reports, an
// 8-byte feature report) and, for byte-exact writes, against a regular file.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <unistd.h>

#include "hid_fixture.h"
#include "qzsysutils/qzsysutils.h"

namespace hidtest {
namespace {

class HidTransfer : public HidTest {
 protected:
  void OpenEcho() {
    UseDefaultMachine();
    echo = machine->FindDevice("echo");
    hid->SetDeviceIndex(static_cast<std::int32_t>(echo));
    hid->SetOnAfterReceive(receiver.Handler());
    Open();
  }
  // A 65-byte output report: ID 0, then `fill` counting up.
  static Bytes Report(std::uint8_t fill, std::size_t size = 65) {
    Bytes r(size);
    for (std::size_t i = 1; i < size; ++i) r[i] = static_cast<std::uint8_t>(fill + i);
    return r;
  }
  std::size_t echo = 0;
};

TEST_F(HidTransfer, ClosedComponentMovesNothing) {
  UseDefaultMachine();
  hid->SetDeviceIndex(static_cast<std::int32_t>(machine->FindDevice("echo")));
  Bytes report = Report(1);
  EXPECT_FALSE(hid->WriteReport(report.data(), 65));
  EXPECT_FALSE(hid->ReadReport(report.data(), 65));
  EXPECT_FALSE(hid->GetInputReport(report.data(), 65));
  EXPECT_FALSE(hid->ReadFeature(report.data(), 9));
  EXPECT_FALSE(hid->WriteFeature(report.data(), 9));
  hid->SendData(report.data(), 65);
  hid->SendChar(u'A');
  hid->SendString("abc");
  hid->ClearDeviceInput();
  hid->ClearDeviceOutput();
  hid->ClearDeviceBuffers();
  EXPECT_TRUE(log.Lines().empty());
  SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(hid->SetOutputReport(report.data(), 65));
  EXPECT_EQ(log.Lines(), std::vector<qz::Text>{u"qzHID: SetOutputReport: 0 " +
                                               qz::SysErrorMessage(ERROR_FILE_NOT_FOUND) + u" 2"});
  EXPECT_TRUE(machine->TakeOutputReports(machine->FindDevice("echo")).empty());
}

TEST_F(HidTransfer, WrittenReportsReachTheDeviceAndEchoBackWhole) {
  OpenEcho();
  const Bytes first = Report(10);
  EXPECT_TRUE(hid->WriteReport(first.data(), 65));
  const Bytes second = Report(20);
  EXPECT_TRUE(hid->SetOutputReport(second.data(), 65));
  // The monitoring thread logs too, so look for the line rather than take the last one.
  const auto lines = log.Lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const qz::Text& l) {
    return l.rfind(u"qzHID: SetOutputReport: 1 ", 0) == 0;
  }));
  EXPECT_EQ(machine->TakeOutputReports(echo), (std::vector<Bytes>{first, second}));
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 2; }));
  EXPECT_EQ(receiver.Blocks()[0].data, first);
  EXPECT_EQ(receiver.Blocks()[1].data, second);

  // Nothing is padded or cut: a report one byte short is the device's to refuse.
  const Bytes shorter = Report(30, 64);
  EXPECT_FALSE(hid->WriteReport(shorter.data(), 64));
  Bytes undeclared = Report(40);
  undeclared[0] = 7;
  EXPECT_FALSE(hid->SetOutputReport(undeclared.data(), 65));
  const auto after = log.Lines();
  const qz::Text refused =
      u"qzHID: SetOutputReport: 0 " + qz::SysErrorMessage(ERROR_INVALID_PARAMETER) + u" 57";
  EXPECT_NE(std::find(after.begin(), after.end(), refused), after.end());
  EXPECT_TRUE(machine->TakeOutputReports(echo).empty());
  EXPECT_FALSE(hid->WriteReport(nullptr, 65)) << "a null buffer is refused";
  hid->SetActive(false);
}

TEST_F(HidTransfer, FeatureReportsAndTheLastInputReport) {
  OpenEcho();
  Bytes feature(9);
  ASSERT_TRUE(hid->ReadFeature(feature.data(), 9));
  EXPECT_EQ(feature, (Bytes{0, 2, 0, 0, 0, 0, 0, 0, 0})) << "the device's initial feature";
  const Bytes written{0, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_TRUE(hid->WriteFeature(written.data(), 9));
  EXPECT_EQ(machine->FeatureReport(echo, 0), written);
  Bytes read(9, 0xEE);
  read[0] = 0;
  ASSERT_TRUE(hid->ReadFeature(read.data(), 9));
  EXPECT_EQ(read, written);
  EXPECT_FALSE(hid->ReadFeature(read.data(), 4)) << "shorter than the feature report";

  Bytes input = Report(50);
  ASSERT_TRUE(machine->PushInput(echo, input));
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 1; }));
  Bytes last(65, 0xEE);
  last[0] = 0;
  ASSERT_TRUE(hid->GetInputReport(last.data(), 65));
  EXPECT_EQ(last, input);
  hid->SetActive(false);
}

TEST_F(HidTransfer, ReadReportTakesWhatTheBusyLoopCannotAndClearingKeepsIt) {
  OpenEcho();
  std::promise<void> entered, release;
  auto released = release.get_future().share();
  bool first = true;
  receiver.during = [&](qz::TqzBaseIO*, const Bytes&) {
    if (!std::exchange(first, false)) return;
    entered.set_value();
    released.wait();
  };
  ASSERT_TRUE(machine->PushInput(echo, Report(1)));
  entered.get_future().wait();  // the loop is now busy delivering
  const Bytes second = Report(2);
  ASSERT_TRUE(machine->PushInput(echo, second));
  hid->ClearDeviceInput();
  hid->ClearDeviceBuffers();
  Bytes read(65);
  ASSERT_TRUE(hid->ReadReport(read.data(), 65));
  EXPECT_EQ(read, second);
  release.set_value();
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 1; }));
  hid->SetActive(false);
  EXPECT_EQ(receiver.Count(), 1u) << "each report goes to one reader";
}

TEST_F(HidTransfer, ReadReportWaitsUntilAReportOrTheClose) {
  OpenEcho();
  auto reading = std::async(std::launch::async, [&] {
    Bytes read(65);
    return hid->ReadReport(read.data(), 65);
  });
  EXPECT_EQ(reading.wait_for(50ms), std::future_status::timeout);
  hid->SetActive(false);
  ASSERT_EQ(reading.wait_for(5s), std::future_status::ready);
  EXPECT_FALSE(reading.get());
}

TEST_F(HidTransfer, SendDataKeepsItsOwnCopyAndSurvivesARefusedWrite) {
  OpenEcho();
  auto buffer = std::make_unique<Bytes>(Report(60));
  const Bytes sent = *buffer;
  hid->SendData(buffer->data(), 65);
  std::fill(buffer->begin(), buffer->end(), 0xFF);
  buffer.reset();
  const Bytes wrong = Report(70, 10);
  hid->SendData(wrong.data(), 10);  // refused by the device: reported nowhere
  const Bytes third = Report(80);
  hid->SendData(third.data(), 65);  // does not wait for a write that never started
  hid->SendData(nullptr, 65);
  EXPECT_EQ(machine->TakeOutputReports(echo), (std::vector<Bytes>{sent, third}));
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 2; }));
  hid->SetActive(false);
}

TEST_F(HidTransfer, SendDataGivesUpOnAWriteTheDeviceDoesNotTake) {
  OpenEcho();
  auto behaviour = machine->GetBehaviour(echo);
  behaviour.hold_writes = true;
  machine->SetBehaviour(echo, behaviour);
  const Bytes first = Report(1), second = Report(2);
  hid->SendData(first.data(), 65);  // stays pending
  auto sending = std::async(std::launch::async, [&] { hid->SendData(second.data(), 65); });
  const bool returned = sending.wait_for(5s) == std::future_status::ready;
  hid->SetActive(false);  // ends the held write, and with it a wait without limit
  sending.wait();
  EXPECT_TRUE(returned) << "SendData waited for the earlier write without a limit";
  EXPECT_TRUE(
      log.Contains(u"qzHID: SendData: the previous write has not ended, 65 bytes not sent"));
  EXPECT_TRUE(machine->TakeOutputReports(echo).empty());
}

TEST_F(HidTransfer, CharactersAndStringsAreWrittenByteForByte) {
  // A regular file stands in for a device that takes reports of any length.
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("qzhid_transfer_" + std::to_string(::getpid()));
  std::ofstream(file).close();
  UseDefaultMachine();
  auto record = std::make_unique<qz::TqzHidDevice>();
  record->NameSymbolic = qz::TextFromUtf8(file.string());
  hid->SetDeviceIndex(hid->AddDevice(record.release()));
  Open();
  EXPECT_EQ(hid->InputReportLength(), 0u);
  hid->SendChar(u'A');
  hid->SendChar(u'\u0141');  // only the low 8 bits: 0x41
  hid->SendString("");
  hid->SendString(std::string("h\0i", 3));
  const char data[] = {'\x01', '\x02'};
  hid->SendData(data, 2);
  EXPECT_TRUE(hid->WriteReport("z", 1));
  hid->SetActive(false);
  std::ifstream in(file, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, std::string("AAh\0i\x01\x02z", 8));
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace hidtest
