// The HID Demo window's logic.
#include "presenter/hid_demo_form.h"

#include "presenter/report_text.h"
#include "qzclasses/dispatcher.h"
#include "qzclasses/errors.h"
#include "qzclasses/format.h"
#include "qzhidw32/qzhidw32.h"
#include "qzsysutils/qzsysutils.h"

namespace demo {

namespace {

// Input reports the system keeps for the open device while the monitoring thread is
// busy (logging each report) or not scheduled: the most Windows allows, 64 ms of a
// device that sends 8,000 reports per second, against the default's 4 ms.
constexpr ULONG kInputBuffers = 512;

// The most received lines that go into the memo at once: a long backlog goes in slices so
// the window's loop keeps running between them.
constexpr std::size_t kMemoBatchLines = 5000;

// Restores the default cursor on every way out.
class BusyCursor {
 public:
  explicit BusyCursor(DemoView& view) : view_(view) { view_.SetBusy(true); }
  ~BusyCursor() { view_.SetBusy(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  DemoView& view_;
};

}  // namespace

HidDemoForm::HidDemoForm(DemoView& view, qz::TqzDeviceBox& deviceBox, DemoSettings settings)
    : view_(view),
      qzDeviceBox1(deviceBox),
      settings_(std::move(settings)),
      memo_(settings_.memoLines),
      feed_(ReportFeed::Create([this](std::vector<qz::Text>& lines) { ShowMemoLines(lines); },
                               kMemoBatchLines, settings_.memoGather)) {
  // The components with their stored settings, applied while they load.
  qzHid1 = new qz::TqzHid(&components_);
  qzHid1->SetName(u"qzHid1");
  qzHid1->BeginLoad();
  qzHid1->SetSharedMode(true);
  qzHid1->SetEnumFullMode(false);
  qzHid1->SetActive(false);
  qzHid1->SetTerminalUsage(qz::tuBoth);
  qzHid1->SetTerminalEcho(false);
  qzHid1->SetDeviceIndex(0);  // the list is still empty: no device is current yet
  qzHid1->SetPriority(qz::tpNormal);
  qzHid1->SetUseMainThread(false);
  qzHid1->SetOnAfterReceive(qz::TOnReceived::Bind<&HidDemoForm::qzHid1AfterReceive>(this));
  qzHid1->SetOnClose(qz::TNotifyEvent::Bind<&HidDemoForm::qzHid1Close>(this));

  qzLogFile1 = new qz::TqzLogFile(&components_);
  qzLogFile1->SetName(u"qzLogFile1");
  qzLogFile1->BeginLoad();
  qzLogFile1->SetSizeLimit(20480);
  qzLogFile1->SetFileName(u"qzlinklib.log");
  qzLogFile1->SetDetailLevel(qz::dlDebug);
  qz::TLogOptions options{qz::loSafeMode, qz::loAutoFileName, qz::loDate, qz::loTime,
                          qz::loDebugOut};
  if (!settings_.logFileName.empty()) {
    options.Exclude(qz::loAutoFileName);
    qzLogFile1->SetFileName(settings_.logFileName);
  }
  qzLogFile1->SetOptions(options);
  qzLogFile1->SetAnsiOnly(true);

  qzDeviceBox1.SetResetOnChanged(false);
  qzDeviceBox1.SetOnChange(qz::TNotifyEvent::Bind<&HidDemoForm::qzDeviceBox1Change>(this));

  // The links, in this order: the box's makes the first enumeration, before any log.
  qzDeviceBox1.SetqzLink(qzHid1);
  qzHid1->SetLog(qzLogFile1);

  qzHid1->Loaded();
  qzLogFile1->Loaded();
  ShowStatus();
}

HidDemoForm::~HidDemoForm() {
  qzDeviceBox1.SetOnChange({});
  feed_->Detach();
  try {
    qzHid1->SetActive(false);
  } catch (...) {
    // Closing must not fail the window's destruction; the log has the reason.
  }
}

void HidDemoForm::FormShow() {
  qzHid1->Update();
  LoadDeviceTree();
}

void HidDemoForm::CheckBox1Click(bool checked) {
  try {
    qzHid1->SetActive(checked);
  } catch (...) {
    // Show the real state; the view calls us again for it, and that finds nothing to do.
    view_.SetActiveChecked(qzHid1->GetActive());
    throw;
  }
  // Where the system refuses, its default ring stays; nothing else depends on it.
  if (checked && qzHid1->GetActive()) qz::HidD_SetNumInputBuffers(qzHid1->Handle(), kInputBuffers);
}

void HidDemoForm::qzDeviceBox1Change(qz::Component*) { LoadDeviceTree(); }

void HidDemoForm::TreeView1Change(NodePath node) {
  selected_ = node;
  ShowNodeInfo();
}

void HidDemoForm::LoadDeviceTree() {
  tree_ = DeviceTree(qzHid1->HidDevice());
  selected_ = tree_.empty() ? NodePath{} : NodePath{0, -1};
  view_.ShowTree(tree_, selected_);
  ShowNodeInfo();
}

void HidDemoForm::ShowNodeInfo() {
  std::optional<AccessModes> open;
  if (qzHid1->GetActive()) open = AccessModes{qzHid1->IsReadMode(), qzHid1->IsWriteMode()};
  std::vector<InfoRow> rows;
  try {
    rows = NodeInfoRows(tree_, selected_, qzHid1->HidDevice(), open);
  } catch (...) {
    view_.ShowRows({});
    throw;
  }
  view_.ShowRows(rows);
}

void HidDemoForm::cbTypeChange(int itemIndex, const qz::Text& data) {
  // Picking the reading the data is already in converts nothing.
  if (itemIndex == reading_) return;
  reading_ = itemIndex;
  if (itemIndex != kAsciiReading) {
    view_.SetDataText(StrToHex(data));
    return;
  }
  qz::Text fault;
  if (const std::optional<qz::Text> text = HexToStr(data, &fault)) {
    view_.SetDataText(*text);
  } else {
    AddMemoLine(u"The data stays as it is: it is not hexadecimal (" + fault + u")");
  }
}

std::optional<std::string> HidDemoForm::Compose(const ReportRequest& request) {
  qz::Text fault;
  std::optional<std::string> report = ComposeReport(request, qzHid1->OutputReportLength(), &fault);
  if (!report) AddMemoLine(u"Nothing sent: the data is not hexadecimal (" + fault + u")");
  return report;
}

void HidDemoForm::bSendClick(const ReportRequest& request) {
  if (const auto report = Compose(request)) qzHid1->SendString(*report);
}

void HidDemoForm::Button1Click(const ReportRequest& request) {
  // The component copies the bytes before its write starts, so they need not outlive us.
  if (const auto report = Compose(request)) {
    qzHid1->SendData(report->data(), static_cast<std::uint32_t>(report->size()));
  }
}

void HidDemoForm::Button2Click(const ReportRequest& request) {
  if (const auto report = Compose(request)) {
    qzHid1->SetOutputReport(report->data(), static_cast<std::uint32_t>(report->size()));
  }
}

void HidDemoForm::Button3Click() {
  BusyCursor busy(view_);
  qzHid1->UpdateDeviceDetails();
  LoadDeviceTree();
}

// The box, the tree and the list stay as they were; a refusal gets a memo line.
void HidDemoForm::Button4Click() { ChangeState(u"Disable", &qz::TqzHid::Disable); }
void HidDemoForm::Button5Click() { ChangeState(u"Enable", &qz::TqzHid::Enable); }
void HidDemoForm::Button6Click() { ChangeState(u"Restart", &qz::TqzHid::Restart); }

void HidDemoForm::ChangeState(const char16_t* action, bool (qz::TqzHid::*change)()) {
  if (!qzHid1->HidDevice()) return;
  qz::Text reason;
  try {
    if ((qzHid1->*change)()) return;
    const DWORD error = GetLastError();
    reason = error == ERROR_SUCCESS ? qz::Text(u"the system gave no reason")
                                    : qz::Format(u"%s (%u)", {qz::SysErrorMessage(error), error});
  } catch (const qz::Error& e) {
    reason = e.Message();
  }
  AddMemoLine(qz::Text(action) + u" refused: " + reason);
}

void HidDemoForm::FormDblClick() {
  const auto* device =
      dynamic_cast<const qz::TqzHidDevice*>(qzHid1->GetDevice(qzHid1->GetDeviceIndex()));
  if (!device) return;
  view_.ShowMessage(VendorProductText(device->VendorId(), device->ProductId()));
}

void HidDemoForm::qzHid1AfterReceive(qz::TqzBaseIO*, const void* Buffer, std::uint32_t Received) {
  if (!Buffer) Received = 0;
  feed_->Push(ReceivedReportLine(static_cast<const std::uint8_t*>(Buffer), Received));
}

void HidDemoForm::qzHid1Close(qz::Component*) {
  // The window's own closes run on its thread; the monitoring loop closes on its own.
  if (!qz::Dispatcher::IsInstalled() || qz::Dispatcher::Main().IsMainThread()) return;
  feed_->Push(u"Device closed: reading from it failed (it was unplugged, disabled or restarted)");
  qz::Dispatcher::Main().Post([this, alive = std::weak_ptr<const bool>(alive_)] {
    if (!alive.expired() && !qzHid1->GetActive()) view_.SetActiveChecked(false);
  });
}

void HidDemoForm::AddMemoLine(qz::Text line) { feed_->Push(std::move(line)); }

void HidDemoForm::ShowMemoLines(std::vector<qz::Text>& lines) {
  const std::size_t dropped = memo_.Dropped();
  const std::size_t dropOldest = memo_.Admit(lines);
  view_.AppendMemoLines(lines, dropOldest);
  if (memo_.Dropped() != dropped) ShowStatus();
}

void HidDemoForm::ShowStatus() {
  qz::Text status;
  if (memo_.Dropped() > 0) {
    status = qz::Format(u"Memo: %u oldest lines dropped (it keeps the newest %u)",
                        {memo_.Dropped(), memo_.Limit()});
  }
  if (!settings_.note.empty()) status += (status.empty() ? u"" : u" | ") + settings_.note;
  view_.SetStatus(status);
}

}  // namespace demo
