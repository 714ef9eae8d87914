// A log sink that keeps every text it is given, formatted, at any level.
#pragma once

#include <string>
#include <vector>

#include "qzclasses/custom_log_file.h"

namespace testsupport {

class RecordingLog : public qz::TqzCustomLogFile {
 public:
  RecordingLog() : TqzCustomLogFile(nullptr) {}
  qz::Text ClassName() const override { return u"RecordingLog"; }
  void Save() override {}
  void Clear() override { lines.clear(); }
  void Add(const qz::Text& text) override { lines.push_back(text); }
  void AddSysInfo() override { lines.push_back(u"<sysinfo>"); }
  void AddLog(qz::TDetailLevel, const qz::Text& text) override { Add(text); }
  void AddFmt(const qz::Text& format, const qz::FormatArgs& args) override {
    Add(qz::Format(format, args));
  }
  void AddLogFmt(qz::TDetailLevel, const qz::Text& format, const qz::FormatArgs& args) override {
    AddFmt(format, args);
  }
  bool Contains(const qz::Text& line) const {
    for (const auto& l : lines)
      if (l == line) return true;
    return false;
  }
  std::vector<qz::Text> lines;
};

}  // namespace testsupport
