// Reads and writes on the linux ground over FIFO nodes: Windows' report shape,
// routing to collections, cancellation, close and pulse releasing a pending read.
#include <thread>

#include "fake_sysfs.h"
#include "hidraw_file.h"

namespace linuxtest {
namespace {

using simtest::PendingRead;
using simtest::WriteError;

class IoTest : public LinuxGroundTest {
 protected:
  void SetUp() override {
    LinuxGroundTest::SetUp();
    sysfs_.Add(0, Vendor64Descriptor());
    sysfs_.Add(1, TwoCollectionDescriptor());
  }
};

// The report `raw` as a handle of `collection` reads it; empty when it is not its own.
Bytes Shaped(const qzplatform::linux_ground::SysfsHidDevice& node, std::size_t collection,
             const Bytes& raw) {
  qzplatform::linux_ground::ReportShaper shaper(node, collection);
  std::copy(raw.begin(), raw.end(), shaper.raw());
  const std::span<const std::uint8_t> report = shaper.Shape(raw.size());
  return Bytes(report.begin(), report.end());
}

TEST(ReportShaper, IdByteFirstAndPaddedForItsCollection) {
  qzplatform::linux_ground::SysfsHidDevice node;
  std::string why;
  ASSERT_TRUE(qzplatform::linux_ground::SetDescriptor(node, TwoCollectionDescriptor(), &why));
  const Bytes mouse = Hex("01 05 FF 01");
  EXPECT_EQ(Shaped(node, 0, mouse), mouse);
  EXPECT_TRUE(Shaped(node, 1, mouse).empty()) << "not collection 2's";
  EXPECT_EQ(Shaped(node, 1, Hex("02 AA BB")), Hex("02 AA BB 00 00 00 00 00"));
  EXPECT_TRUE(Shaped(node, 1, {}).empty());
  EXPECT_TRUE(Shaped(node, 0, Hex("09 01")).empty());

  qzplatform::linux_ground::SysfsHidDevice plain;
  ASSERT_TRUE(qzplatform::linux_ground::SetDescriptor(plain, Vendor64Descriptor(), &why));
  const Bytes shaped = Shaped(plain, 0, Bytes(64, 0x5A));
  ASSERT_EQ(shaped.size(), 65u);
  EXPECT_EQ(shaped[0], 0) << "a device without report IDs reads with ID 0 first";
  EXPECT_EQ(shaped[64], 0x5A);
}

TEST_F(IoTest, ReadGetsWholeReportsWithTheIdByte) {
  Handle h = Open(Dev("hidraw0"), GENERIC_READ | GENERIC_WRITE);
  ASSERT_TRUE(h.valid());
  PendingRead read(h.get(), 65);
  EXPECT_FALSE(read.started);
  EXPECT_EQ(read.start_error, static_cast<DWORD>(ERROR_IO_PENDING));
  Bytes report(64);
  for (std::size_t i = 0; i < report.size(); ++i) report[i] = static_cast<std::uint8_t>(i + 1);
  sysfs_.Send(0, report);
  ASSERT_TRUE(read.Wait());
  EXPECT_EQ(read.Error(), 0u);
  Bytes expected{0};
  expected.insert(expected.end(), report.begin(), report.end());
  EXPECT_EQ(read.Data(), expected);
}

// A report waiting in the node completes the read inside ReadFile, with no hop through the handle's I/O thread.
TEST_F(IoTest, AReportAlreadyThereCompletesTheReadAtOnce) {
  Handle h = Open(Dev("hidraw1&col02"), GENERIC_READ);
  ASSERT_TRUE(h.valid());
  sysfs_.Send(1, Hex("02 11 22 33"));
  PendingRead read(h.get(), 8);
  EXPECT_TRUE(read.started) << "completed without waiting";
  EXPECT_EQ(read.Data(), Hex("02 11 22 33 00 00 00 00"));
  PendingRead next(h.get(), 8);
  EXPECT_TRUE(next.pending());
  sysfs_.Send(1, Hex("02 44"));
  ASSERT_TRUE(next.Wait());
  EXPECT_EQ(next.Data(), Hex("02 44 00 00 00 00 00 00"));
}

TEST_F(IoTest, EachCollectionReadsOnlyItsOwnReports) {
  Handle vendor = Open(Dev("hidraw1&col02"), GENERIC_READ);
  ASSERT_TRUE(vendor.valid());
  PendingRead read(vendor.get(), 8);
  sysfs_.Send(1, Hex("01 01 10 F0"));  // the mouse collection's report comes first
  ASSERT_TRUE(sysfs_.WaitDrained(1));
  EXPECT_TRUE(read.pending()) << "another collection's report is not this handle's";
  sysfs_.Send(1, Hex("02 11 22 33"));
  ASSERT_TRUE(read.Wait());
  EXPECT_EQ(read.Data(), Hex("02 11 22 33 00 00 00 00"));
}

// The handle keeps the newest reports nobody reads, 32 unless HidD_SetNumInputBuffers
// allowed more.
TEST_F(IoTest, UnreadReportsAreKeptUpToTheHandlesInputBuffers) {
  HMODULE module = LoadLibraryW(qzplatform::AsWide(std::u16string(u"HID.DLL")));
  auto set = reinterpret_cast<PFN_HidD_SetNumInputBuffers>(
      reinterpret_cast<void*>(GetProcAddress(module, "HidD_SetNumInputBuffers")));
  ASSERT_TRUE(set);
  for (const auto& [buffers, first] : {std::pair{100u, 0}, std::pair{0u, 8}}) {
    Handle h = Open(Dev("hidraw0"), GENERIC_READ);
    ASSERT_TRUE(h.valid());
    EXPECT_FALSE(set(h.get(), 600)) << "more than Windows allows";
    if (buffers != 0) {
      ASSERT_TRUE(set(h.get(), buffers));
    }
    {
      PendingRead first_read(h.get(), 65);  // starts the handle's reading
      sysfs_.Send(0, Bytes(64, 0xEE));
      ASSERT_TRUE(first_read.Wait());
    }
    for (std::uint8_t i = 0; i < 40; ++i) {
      sysfs_.Send(0, Bytes(64, i));
      ASSERT_TRUE(sysfs_.WaitDrained(0));  // one report per read of the FIFO
    }
    for (int i = first; i < 40; ++i) {
      PendingRead read(h.get(), 65);
      ASSERT_TRUE(read.Wait()) << i;
      ASSERT_EQ(read.Data()[1], i);
    }
    PendingRead empty(h.get(), 65);
    EXPECT_TRUE(empty.pending());
  }
  FreeLibrary(module);
}

TEST_F(IoTest, ReadsThatCannotStart) {
  Handle write_only = Open(Dev("hidraw0"), GENERIC_WRITE);
  PendingRead denied(write_only.get(), 65);
  EXPECT_EQ(denied.start_error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  Handle h = Open(Dev("hidraw0"), GENERIC_READ);
  PendingRead small(h.get(), 64);
  EXPECT_EQ(small.start_error, static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
  Handle no_output = Open(Dev("hidraw1&col01"), GENERIC_READ | GENERIC_WRITE);
  EXPECT_EQ(WriteError(no_output.get(), Hex("01 00 00 00")),
            static_cast<DWORD>(ERROR_INVALID_FUNCTION));
}

TEST_F(IoTest, CancelCloseAndPulseReleaseAPendingRead) {
  Handle h = Open(Dev("hidraw0"), GENERIC_READ);
  {
    PendingRead read(h.get(), 65);
    ASSERT_TRUE(CancelIo(h.get()));
    EXPECT_FALSE(read.pending()) << "completed before CancelIo returned";
    EXPECT_EQ(read.Error(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  }
  {
    // A pulse of the read's event ends the wait; the read stays pending, as on Windows.
    PendingRead read(h.get(), 65);
    std::thread pulse([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      PulseEvent(read.event);
    });
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(h.get(), &read.ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    pulse.join();
    EXPECT_TRUE(read.pending());
    HANDLE raw = h.release();
    EXPECT_TRUE(CloseHandle(raw));
    EXPECT_FALSE(read.pending());
    EXPECT_EQ(read.Error(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    read.file = INVALID_HANDLE_VALUE;
  }
}

TEST_F(IoTest, WritesPassTheReportUnchanged) {
  Handle h = Open(Dev("hidraw1&col02"), GENERIC_WRITE);
  ASSERT_TRUE(h.valid());
  EXPECT_EQ(WriteError(h.get(), Hex("02 01 02 03 04 05 06 07")), 0u);
  EXPECT_EQ(sysfs_.Receive(1, 64), Hex("02 01 02 03 04 05 06 07")) << "report ID first";
  EXPECT_EQ(WriteError(h.get(), Hex("02 01 02")), static_cast<DWORD>(ERROR_INVALID_PARAMETER))
      << "not the output report length";
  EXPECT_EQ(WriteError(h.get(), Hex("03 01 02 03 04 05 06 07")),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER))
      << "3 is no output report of this collection";
  Handle plain = Open(Dev("hidraw0"), GENERIC_WRITE);
  Bytes report(65, 0x33);
  report[0] = 0;
  EXPECT_EQ(WriteError(plain.get(), report), 0u);
  EXPECT_EQ(sysfs_.Receive(0, 128), report)
      << "hidraw takes Windows' shape: ID 0 first on a device without IDs";
}

}  // namespace
}  // namespace linuxtest
