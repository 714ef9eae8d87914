// The HID Demo window's logic without a toolkit: its components and their links, start-up,
// the activation check box, the device information view, report sending, received
// reports and the device actions. A frontend builds the controls, forwards each user
// action to one handler here and shows what the DemoView calls tell it.
#pragma once

#include <cstdint>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "presenter/demo_view.h"
#include "presenter/device_view.h"
#include "presenter/memo_limit.h"
#include "presenter/report_composer.h"
#include "presenter/report_feed.h"
#include "qzclasses/component.h"
#include "qzhid/hid.h"
#include "qzlinkbox/device_box.h"
#include "qzlogfile/log_file.h"

namespace demo {

struct DemoSettings {
  // The log file's full path; empty: the window's own setting, the program's path with
  // the extension ".log".
  qz::Text logFileName;
  // A note that stays in the status line (for example the ground the demo fell back to).
  qz::Text note;
  // The memo keeps the newest lines up to this many.
  std::size_t memoLines = MemoLimit::kDefaultLines;
  // How long received lines gather before they go into the memo together; 0: as soon as
  // the window thread gets to them. A window sets it to what one append costs it.
  std::chrono::milliseconds memoGather{0};
};

class HidDemoForm {
 public:
  // Creates qzHid1 and qzLogFile1 with the window's settings, links the box to the HID
  // component (its first, unlogged enumeration) and the HID component to the log, then
  // runs the components' loaded step. `deviceBox` must outlive the form.
  HidDemoForm(DemoView& view, qz::TqzDeviceBox& deviceBox, DemoSettings settings = {});
  // Closes an open device (waiting for its monitoring loop) before the components go;
  // reports still on their way to the memo are dropped.
  ~HidDemoForm();
  HidDemoForm(const HidDemoForm&) = delete;
  HidDemoForm& operator=(const HidDemoForm&) = delete;

  qz::TqzHid& Hid() const { return *qzHid1; }
  qz::TqzLogFile& Log() const { return *qzLogFile1; }
  const std::vector<TreeNode>& Tree() const { return tree_; }
  NodePath SelectedNode() const { return selected_; }
  // The received-report lines not yet handed to the memo.
  std::size_t PendingMemoLines() const { return feed_->Pending(); }
  // The memo's lines as handed to the window, and those its limit dropped.
  const MemoLimit& Memo() const { return memo_; }

  // The window is shown: enumerate again (logged) and rebuild the view.
  void FormShow();
  // Opens or closes the selected device. When that fails the check box is set back to
  // the component's real state and the error is passed on to the caller, which shows it.
  void CheckBox1Click(bool checked);
  // The box's OnChange: the user picked another device.
  void qzDeviceBox1Change(qz::Component* Sender);
  // The user selected a tree node.
  void TreeView1Change(NodePath node);
  // The user picked a data reading: the data text is converted to it, unless it already
  // reads that way. Hexadecimal text that is not stays as it is, and the memo says why.
  void cbTypeChange(int itemIndex, const qz::Text& data);
  // Send (waited write), Send2 (unwaited write), Send3 (the HID library's request). Data
  // that cannot be composed is not sent; the memo says why.
  void bSendClick(const ReportRequest& request);
  void Button1Click(const ReportRequest& request);
  void Button2Click(const ReportRequest& request);
  // Get More Details: reload the selected record with its strings, rebuild the view.
  void Button3Click();
  // Disable, Enable, Restart the selected device through the system; nothing without one.
  // A refusal gets a line in the memo with the system's reason.
  void Button4Click();
  void Button5Click();
  void Button6Click();
  // Shows the vendor and product ID of the device at DeviceIndex; nothing without one.
  void FormDblClick();
  // The HID component's OnAfterReceive: runs on the monitoring thread.
  void qzHid1AfterReceive(qz::TqzBaseIO* Com, const void* Buffer, std::uint32_t Received);
  // The HID component's OnClose. A close the window did not ask for (the monitoring loop
  // closed the device) gets a memo line, and the check box follows the component.
  void qzHid1Close(qz::Component* Sender);

  void LoadDeviceTree();
  void ShowNodeInfo();

 private:
  // A line of the window's own in the memo, after the reports received so far.
  void AddMemoLine(qz::Text line);
  // The feed's sink: the memo's limit applied, the lines handed to the window.
  void ShowMemoLines(std::vector<qz::Text>& lines);
  void ShowStatus();
  // The report composed from `request`, or nothing (and a memo line saying why).
  std::optional<std::string> Compose(const ReportRequest& request);
  // A device action; a refusal or an error gets a memo line.
  void ChangeState(const char16_t* action, bool (qz::TqzHid::*change)());

  DemoView& view_;
  qz::TqzDeviceBox& qzDeviceBox1;
  const DemoSettings settings_;
  std::vector<TreeNode> tree_;
  NodePath selected_;
  int reading_ = kNoReading;  // the data reading the data field was last converted to
  MemoLimit memo_;
  // Lives as long as the form: a call posted from the monitoring thread runs only while
  // it does.
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
  // Declared before the components: it must outlive the monitoring loop.
  std::shared_ptr<ReportFeed> feed_;
  qz::Component components_{nullptr};  // owns the non-visual components
  qz::TqzHid* qzHid1 = nullptr;
  qz::TqzLogFile* qzLogFile1 = nullptr;
};

}  // namespace demo
