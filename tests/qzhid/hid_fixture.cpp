// Shared helpers of the HID component tests.
#include "hid_fixture.h"

#include <algorithm>

namespace hidtest {

std::string VendorMachine(const std::vector<std::string>& behaviours) {
  std::string json = R"({"devices": [)";
  for (std::size_t i = 0; i < behaviours.size(); ++i) {
    const std::string n = std::to_string(i);
    if (i) json += ",";
    json += R"({"name": "dev)" + n + R"(", "vendor_id": "0x1234", "product_id": "0x56)" +
            (i < 10 ? "0" : "") + n + R"(", "strings": {"product": "Vendor )" + n +
            R"("}, "report_descriptor": ")" + kVendorDescriptor +
            R"(", "enumeration": {"description": "Sim Vendor Device )" + n + R"("}, "behaviour": {)" +
            behaviours[i] + "}}";
  }
  return json + "]}";
}

void SafeLog::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

void SafeLog::Add(const qz::Text& text) {
  {
    std::lock_guard lock(mutex_);
    lines_.push_back(text);
  }
  if (on_line) on_line(text);
}

void SafeLog::AddFmt(const qz::Text& format, const qz::FormatArgs& args) {
  Add(qz::Format(format, args));
}

std::vector<qz::Text> SafeLog::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::size_t SafeLog::Count(const qz::Text& line) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count(lines_.begin(), lines_.end(), line));
}

std::ptrdiff_t SafeLog::IndexOf(const qz::Text& line) const {
  std::lock_guard lock(mutex_);
  auto it = std::find(lines_.begin(), lines_.end(), line);
  return it == lines_.end() ? -1 : it - lines_.begin();
}

void Receiver::OnReceived(qz::TqzBaseIO* com, const void* buffer, std::uint32_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  Bytes data(bytes, bytes + size);
  if (during) during(com, data);
  std::lock_guard lock(mutex_);
  blocks_.push_back({std::move(data), std::this_thread::get_id()});
}

std::vector<Block> Receiver::Blocks() const {
  std::lock_guard lock(mutex_);
  return blocks_;
}

std::size_t Receiver::Count() const {
  std::lock_guard lock(mutex_);
  return blocks_.size();
}

void Events::OnOpen(qz::Component*) {
  {
    std::lock_guard lock(mutex_);
    ++opens_;
  }
  if (log) log->Add(u"<OnOpen>");
}

void Events::OnClose(qz::Component*) {
  {
    std::lock_guard lock(mutex_);
    ++closes_;
    close_thread_ = std::this_thread::get_id();
  }
  if (log) log->Add(u"<OnClose>");
  if (on_close) on_close();
}

int Events::opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

int Events::closes() const {
  std::lock_guard lock(mutex_);
  return closes_;
}

std::thread::id Events::close_thread() const {
  std::lock_guard lock(mutex_);
  return close_thread_;
}

void HidTest::SetUp() { qz::Dispatcher::Install(&dispatcher); }

void HidTest::TearDown() {
  hid.reset();
  qz::Dispatcher::Install(nullptr);
  machine.reset();
  qzplatform::SetGround(nullptr);
}

void HidTest::Load(const std::string& json) {
  machine = qzplatform::sim::Install(qzplatform::sim::Machine::LoadJson(json));
  hid = std::make_unique<TestHid>(nullptr);
  hid->SetLog(&log);
  for (const auto& itf : machine->Interfaces()) {
    auto record = std::make_unique<qz::TqzHidDevice>();
    record->NameSymbolic = itf.path;
    record->Description = itf.description;
    record->InstanceId = itf.instance_id;
    ASSERT_TRUE(hid->LoadDeviceInfo(*record, true)) << itf.device_name;
    hid->AddDevice(record.release());
  }
  hid->SetDeviceIndex(0);
  log.Clear();
  handles_before = qzplatform::OpenHandleCount();
  preparsed_before = qzplatform::hidshared::LivePreparsedCount();
}

void HidTest::UseDefaultMachine() {
  Load(std::string(qzplatform::sim::DefaultDeviceListJson()));
}

bool HidTest::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    dispatcher.PumpFor(1ms);
  }
  return true;
}

qz::TqzHidDevice* HidTest::Record(std::int32_t index) const {
  return dynamic_cast<qz::TqzHidDevice*>(hid->GetDevice(index));
}

void HidTest::Open() {
  hid->SetActive(true);
  ASSERT_TRUE(hid->GetActive());
}

}  // namespace hidtest
