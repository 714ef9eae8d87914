// A test double of an edit control: keeps its text in memory instead of a window.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include "qzclasses/edit_control.h"
#include "qzclasses/errors.h"

namespace qz {

// Behaves like a multi-line Windows edit control for typed characters and EM_REPLACESEL:
// a typed backspace deletes the selection or the character before the caret, a typed
// carriage return starts a new line (CR LF), other typed control characters are ignored,
// and a replacement is inserted literally. Posted messages are recorded, not delivered.
class HeadlessEdit : public EditControl {
 public:
  using EditControl::EditControl;

  Text ClassName() const override { return u"HeadlessEdit"; }
  Text GetText() const override { return text; }
  // Puts the caret at the end of the new text.
  void SetText(const Text& value) override {
    FailIfAsked();
    text = value;
    sel_start = sel_end = text.size();
  }
  void AppendText(const Text& value) override {
    FailIfAsked();
    text += value;
  }

  HWND GetHandle() override {
    if (!handle_) handle_ = NewHandle();
    return handle_;
  }
  bool HandleAllocated() const { return handle_ != nullptr; }
  void Post(UINT Msg, WPARAM WParam, LPARAM LParam) override {
    Message message;
    message.Msg = Msg;
    message.WParam = WParam;
    message.LParam = LParam;
    posted.push_back(message);
  }

  // Selects [start, end); positions beyond the text are taken as its end.
  void SetSel(std::size_t start, std::size_t end) {
    sel_start = start;
    sel_end = end;
  }

  Text text;
  // The selection; equal bounds are the caret. Clamped to the text when used.
  std::size_t sel_start = 0;
  std::size_t sel_end = 0;
  std::vector<Message> posted;
  // When set, the next SetText or AppendText throws Error and leaves the text unchanged.
  bool fail_next_update = false;

 protected:
  void DefaultWndProc(Message& Msg) override {
    Msg.Result = 0;
    if (Msg.Msg == WM_CHAR) {
      Type(static_cast<char16_t>(Msg.WParam & 0xFFFF));
    } else if (Msg.Msg == EM_REPLACESEL && Msg.LParam != 0) {
      Replace(Text(reinterpret_cast<const char16_t*>(Msg.LParam)));
    }
  }

 private:
  static HWND NewHandle() {
    static std::atomic<std::uintptr_t> next{0x10000};
    return reinterpret_cast<HWND>(next.fetch_add(4));
  }

  void Type(char16_t ch) {
    if (ch == u'\b') {
      ClampSelection();
      if (sel_start == sel_end && sel_start > 0) --sel_start;
      Replace(Text());
    } else if (ch == u'\r') {
      Replace(u"\r\n");
    } else if (ch >= 0x20 || ch == u'\t') {
      Replace(Text(1, ch));
    }
  }

  void Replace(const Text& run) {
    ClampSelection();
    const std::size_t from = std::min(sel_start, sel_end);
    const std::size_t to = std::max(sel_start, sel_end);
    text.replace(from, to - from, run);
    sel_start = sel_end = from + run.size();
  }

  void ClampSelection() {
    sel_start = std::min(sel_start, text.size());
    sel_end = std::min(sel_end, text.size());
  }

  void FailIfAsked() {
    if (fail_next_update) {
      fail_next_update = false;
      throw Error(u"Edit control update failed");
    }
  }

  HWND handle_ = nullptr;
};

}  // namespace qz
