// Transfers on simulated devices: overlapped reads completed by input, released by a
// pulse or a close, the per-handle queue, length rules, echo, unplug and routing.
#include <future>
#include <thread>

#include "sim_fixture.h"
#include "test_devices.h"

namespace simtest {
namespace {

using namespace std::chrono_literals;

constexpr DWORD kEchoLength = 65;  // 64 bytes and the report ID byte

class IoTest : public SimTest {
 protected:
  void SetUp() override { Load(kDevices); }
  Bytes Report(std::initializer_list<std::uint8_t> head, std::size_t length = kEchoLength) {
    Bytes r(head);
    r.resize(length, 0);
    return r;
  }
};

TEST_F(IoTest, OverlappedReadCompletesWithInputAndSignalsAutoResetEvent) {
  Handle h = Open(Path(kEcho), kReadWrite);
  ASSERT_TRUE(h.valid());
  PendingRead read(h.get(), kEchoLength);
  EXPECT_FALSE(read.started);
  EXPECT_EQ(read.start_error, static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_EQ(WaitForSingleObject(read.event, 0), WAIT_TIMEOUT);

  ASSERT_TRUE(machine_->PushInput(kEcho, Hex("00 01 02 03")));
  DWORD n = 0;
  ASSERT_TRUE(GetOverlappedResult(h.get(), &read.ov, &n, FALSE));
  EXPECT_EQ(n, kEchoLength);
  EXPECT_EQ(read.Data(), Report({0, 1, 2, 3}));
  // Auto-reset: the completion releases exactly one wait.
  EXPECT_EQ(WaitForSingleObject(read.event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(read.event, 0), WAIT_TIMEOUT);
}

TEST_F(IoTest, PulseReleasesTheWaiterButTheReadStaysPending) {
  Handle h = Open(Path(kEcho), kReadWrite);
  PendingRead read(h.get(), kEchoLength);
  ASSERT_TRUE(read.pending());

  std::promise<std::pair<BOOL, DWORD>> outcome;
  auto done = outcome.get_future();
  std::thread waiter([&] {
    DWORD n = 0;
    BOOL ok = GetOverlappedResult(h.get(), &read.ov, &n, TRUE);
    outcome.set_value({ok, GetLastError()});
  });
  // A pulse only releases a thread that already waits, so pulse until it is released.
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (done.wait_for(1ms) != std::future_status::ready &&
         std::chrono::steady_clock::now() < deadline)
    PulseEvent(read.event);
  const bool released = done.wait_for(0s) == std::future_status::ready;
  if (!released) machine_->PushInput(kEcho, Hex("00"));  // let the waiter go anyway
  waiter.join();
  ASSERT_TRUE(released);
  const auto [ok, error] = done.get();
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_IO_INCOMPLETE));
  ASSERT_TRUE(read.pending());

  ASSERT_TRUE(machine_->PushInput(kEcho, Hex("00 AA")));
  EXPECT_FALSE(read.pending());
  EXPECT_EQ(read.Error(), 0u);
  EXPECT_EQ(read.buffer[1], 0xAA);
}

TEST_F(IoTest, CloseAbortsThePendingReadAndNothingIsWrittenAfterwards) {
  Handle h = Open(Path(kEcho), kReadWrite);
  PendingRead read(h.get(), kEchoLength);
  ASSERT_TRUE(read.pending());
  h.reset();
  EXPECT_FALSE(read.pending());
  EXPECT_EQ(read.Error(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  EXPECT_EQ(WaitForSingleObject(read.event, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(machine_->PushInput(kEcho, Hex("00 55")));
  EXPECT_EQ(read.buffer, Bytes(kEchoLength, 0xCC));
}

TEST_F(IoTest, CancelIoAbortsReadsButKeepsTheHandle) {
  Handle h = Open(Path(kEcho), kReadWrite);
  PendingRead first(h.get(), kEchoLength);
  ASSERT_TRUE(CancelIo(h.get()));
  EXPECT_EQ(first.Error(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  PendingRead second(h.get(), kEchoLength);
  ASSERT_TRUE(machine_->PushInput(kEcho, Hex("00 07")));
  EXPECT_EQ(second.Error(), 0u);
  EXPECT_EQ(second.buffer[1], 7);
}

TEST_F(IoTest, EachHandleQueuesTheNewest32Reports) {
  Handle a = Open(Path(kEcho), kReadWrite);
  Handle b = Open(Path(kEcho), GENERIC_READ);
  for (std::uint8_t i = 0; i < 40; ++i) ASSERT_TRUE(machine_->PushInput(kEcho, {0, i}));
  for (std::uint8_t i = 8; i < 40; ++i) {
    PendingRead read(a.get(), kEchoLength);
    ASSERT_TRUE(read.started) << int(i);
    EXPECT_EQ(read.buffer[1], i);
  }
  PendingRead empty(a.get(), kEchoLength);
  EXPECT_TRUE(empty.pending());
  // The other handle kept its own copy of the same reports.
  PendingRead other(b.get(), kEchoLength);
  ASSERT_TRUE(other.started);
  EXPECT_EQ(other.buffer[1], 8);
}

TEST_F(IoTest, NumInputBuffersSetsTheHandlesQueueLengthWithinWindowsBounds) {
  HidDll dll;
  auto set = reinterpret_cast<PFN_HidD_SetNumInputBuffers>(
      reinterpret_cast<void*>(GetProcAddress(dll.module, "HidD_SetNumInputBuffers")));
  auto get = reinterpret_cast<PFN_HidD_GetNumInputBuffers>(
      reinterpret_cast<void*>(GetProcAddress(dll.module, "HidD_GetNumInputBuffers")));
  ASSERT_TRUE(set && get);
  Handle a = Open(Path(kEcho), kReadWrite);
  Handle b = Open(Path(kEcho), 0);  // no access is needed to change it
  ULONG count = 0;
  ASSERT_TRUE(get(a.get(), &count));
  EXPECT_EQ(count, 32u);
  for (ULONG refused : {0u, 1u, 513u}) {
    SetLastError(0);
    EXPECT_FALSE(set(a.get(), refused)) << refused;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_FALSE(set(INVALID_HANDLE_VALUE, 64));
  EXPECT_TRUE(set(b.get(), 2));
  ASSERT_TRUE(set(a.get(), 512));
  ASSERT_TRUE(get(a.get(), &count));
  EXPECT_EQ(count, 512u);

  // 300 reports unread: all of them wait in order; lowering the length keeps the newest.
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(machine_->PushInput(kEcho, {0, std::uint8_t(i)}));
  for (int i = 0; i < 100; ++i) {
    PendingRead read(a.get(), kEchoLength);
    ASSERT_TRUE(read.started) << i;
    ASSERT_EQ(read.buffer[1], std::uint8_t(i));
  }
  ASSERT_TRUE(set(a.get(), 2));
  for (int i = 298; i < 300; ++i) {
    PendingRead read(a.get(), kEchoLength);
    ASSERT_TRUE(read.started) << i;
    EXPECT_EQ(read.buffer[1], std::uint8_t(i));
  }
  PendingRead empty(a.get(), kEchoLength);
  EXPECT_TRUE(empty.pending());
}

TEST_F(IoTest, ReadTakesAsManyQueuedReportsAsItsBufferHolds) {
  Handle h = Open(Path(kEcho), kReadWrite);
  for (std::uint8_t i = 1; i <= 3; ++i) ASSERT_TRUE(machine_->PushInput(kEcho, {0, i}));
  PendingRead read(h.get(), 2 * kEchoLength + 10);
  ASSERT_TRUE(read.started);
  ASSERT_EQ(read.ov.InternalHigh, 2 * kEchoLength);
  EXPECT_EQ(read.buffer[1], 1);
  EXPECT_EQ(read.buffer[kEchoLength + 1], 2);
  PendingRead rest(h.get(), kEchoLength);
  ASSERT_TRUE(rest.started);
  EXPECT_EQ(rest.buffer[1], 3);
}

TEST_F(IoTest, TransfersThatWindowsRefuses) {
  Handle echo = Open(Path(kEcho), kReadWrite);
  Handle ids = Open(Path(kIds), kReadWrite);
  Handle quiet = Open(Path(kQuiet), kReadWrite);
  Handle read_only = Open(Path(kEcho), GENERIC_READ);
  Handle write_only = Open(Path(kEcho), GENERIC_WRITE);
  EXPECT_EQ(WriteError(echo.get(), Bytes(64)), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WriteError(echo.get(), Bytes(66)), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WriteError(echo.get(), Bytes(65)), 0u);
  EXPECT_EQ(WriteError(ids.get(), Hex("02 00 00 00 00")),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER))
      << "report ID 2 is no output report";
  EXPECT_EQ(WriteError(ids.get(), Hex("01 00 00 00 00")), 0u);
  EXPECT_EQ(WriteError(quiet.get(), Bytes(5)), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  EXPECT_EQ(WriteError(read_only.get(), Bytes(65)), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  PendingRead short_read(echo.get(), kEchoLength - 1);
  EXPECT_EQ(short_read.start_error, static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
  PendingRead no_input(quiet.get(), 64);
  EXPECT_EQ(no_input.start_error, static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  PendingRead no_access(write_only.get(), kEchoLength);
  EXPECT_EQ(no_access.start_error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(machine_->TakeOutputReports(kEcho).size(), 1u);
}

TEST_F(IoTest, EchoedOutputReportsReachEveryReader) {
  Handle writer = Open(Path(kEcho), kReadWrite);
  Handle reader = Open(Path(kEcho), GENERIC_READ);
  PendingRead pending(reader.get(), kEchoLength);
  const Bytes report = Report({0, 'h', 'i'});
  ASSERT_EQ(WriteError(writer.get(), report), 0u);
  EXPECT_EQ(pending.Data(), report);
  PendingRead own(writer.get(), kEchoLength);
  ASSERT_TRUE(own.started);
  EXPECT_EQ(own.Data(), report);
  EXPECT_EQ(machine_->TakeOutputReports(kEcho), std::vector<Bytes>{report});

  auto b = machine_->GetBehaviour(kEcho);
  b.echo = false;
  machine_->SetBehaviour(kEcho, b);
  ASSERT_EQ(WriteError(writer.get(), report), 0u);
  PendingRead none(writer.get(), kEchoLength);
  EXPECT_TRUE(none.pending());
}

TEST_F(IoTest, UnplugFailsPendingAndLaterTransfersForGood) {
  Handle h = Open(Path(kEcho), kReadWrite);
  PendingRead pending(h.get(), kEchoLength);
  machine_->Unplug(kEcho);
  EXPECT_EQ(pending.Error(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  PendingRead later(h.get(), kEchoLength);
  EXPECT_EQ(later.start_error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(WriteError(h.get(), Bytes(kEchoLength)),
            static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_FALSE(machine_->PushInput(kEcho, Hex("00 01")));

  // A replugged device is a new device: the old handle stays dead.
  machine_->Replug(kEcho);
  PendingRead stale(h.get(), kEchoLength);
  EXPECT_EQ(stale.start_error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  Handle fresh = Open(Path(kEcho), kReadWrite);
  ASSERT_TRUE(fresh.valid());
  // Its share of the device went with the unplug.
  Handle exclusive = Open(Path(kEcho), kReadWrite, 0);
  EXPECT_FALSE(exclusive.valid());
  fresh.reset();
  exclusive = Open(Path(kEcho), kReadWrite, 0);
  EXPECT_TRUE(exclusive.valid());
}

TEST_F(IoTest, InputReportsGoToTheCollectionThatDeclaresTheirId) {
  Handle mouse = Open(Path(kCombo, 0), GENERIC_READ);
  Handle keys = Open(Path(kCombo, 1), GENERIC_READ);
  PendingRead mouse_read(mouse.get(), 4);
  PendingRead keys_read(keys.get(), 3);
  ASSERT_TRUE(machine_->PushInput(kCombo, Hex("02 E9 00")));
  EXPECT_TRUE(mouse_read.pending());
  EXPECT_EQ(keys_read.Data(), Hex("02 E9 00"));
  ASSERT_TRUE(machine_->PushInput(kCombo, Hex("01 01 05")));  // padded to the report length
  EXPECT_EQ(mouse_read.Data(), Hex("01 01 05 00"));
  EXPECT_FALSE(machine_->PushInput(kCombo, Hex("03 00"))) << "no collection has ID 3";
  EXPECT_FALSE(machine_->PushInput(kCombo, Hex("02 01 02 03"))) << "longer than the report";
  EXPECT_FALSE(machine_->PushInput(kCombo, {})) << "no report ID byte";
}

TEST_F(IoTest, SynchronousReadWaitsForInput) {
  Handle h = Open(Path(kEcho), kReadWrite, kShareAll, false);
  Bytes buffer(kEchoLength);
  BOOL ok = FALSE;
  DWORD n = 0;
  std::thread reader([&] { ok = ReadFile(h.get(), buffer.data(), kEchoLength, &n, nullptr); });
  ASSERT_TRUE(machine_->PushInput(kEcho, Hex("00 42")));
  reader.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(n, kEchoLength);
  EXPECT_EQ(buffer[1], 0x42);
}

}  // namespace
}  // namespace simtest
