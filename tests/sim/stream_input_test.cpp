// StreamInput, the machine's bulk input source: reads complete at once with the
// streamed copies, after the queued reports, per handle, and never after an unplug.
#include "sim_fixture.h"
#include "test_devices.h"

namespace simtest {
namespace {

constexpr DWORD kEchoLength = 65;

class StreamInputTest : public SimTest {
 protected:
  void SetUp() override { Load(kDevices); }
  static Bytes Report(std::uint8_t first) {
    Bytes r(kEchoLength, 0);
    r[1] = first;
    return r;
  }
};

TEST_F(StreamInputTest, ReadsTakeQueuedReportsThenTheStreamThenWait) {
  Handle h = Open(Path(kEcho), kReadWrite);
  Handle other = Open(Path(kEcho), kReadWrite);
  PendingRead waiting(h.get(), kEchoLength);
  ASSERT_TRUE(waiting.pending());
  ASSERT_TRUE(machine_->StreamInput(kEcho, {0, 7}, 3));
  ASSERT_TRUE(waiting.Wait());
  EXPECT_EQ(waiting.Data(), Report(7)) << "a waiting read takes the first copy";

  ASSERT_TRUE(machine_->PushInput(kEcho, {0, 1}));
  {
    PendingRead read(h.get(), kEchoLength);
    ASSERT_TRUE(read.started) << "completes at once";
    EXPECT_EQ(read.Data(), Report(1)) << "queued reports come first";
  }
  {
    PendingRead read(h.get(), 3 * kEchoLength);  // room for three: two copies are left
    ASSERT_TRUE(read.started);
    Bytes two = Report(7);
    two.insert(two.end(), two.begin(), two.end());
    EXPECT_EQ(read.Data(), two);
  }
  PendingRead after(h.get(), kEchoLength);
  EXPECT_TRUE(after.pending()) << "the stream is used up";

  // Each reading handle has its own copies.
  PendingRead read(other.get(), kEchoLength);
  ASSERT_TRUE(read.started);
  EXPECT_EQ(read.Data(), Report(1));
}

TEST_F(StreamInputTest, UnplugEndsTheStreamAndRefusesNewOnes) {
  Handle h = Open(Path(kEcho), kReadWrite);
  ASSERT_TRUE(machine_->StreamInput(kEcho, {0, 9}, 1000));
  EXPECT_FALSE(machine_->StreamInput(kEcho, Bytes(kEchoLength + 1, 0), 1)) << "too long";
  machine_->Unplug(kEcho);
  PendingRead read(h.get(), kEchoLength);
  EXPECT_FALSE(read.started);
  EXPECT_EQ(read.start_error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_FALSE(machine_->StreamInput(kEcho, {0, 9}, 1));
}

}  // namespace
}  // namespace simtest
