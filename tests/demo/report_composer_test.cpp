// Composition of the output report: report ID, data as text or hexadecimal pairs, and the
// fixed length that cuts or pads.
#include <gtest/gtest.h>

#include "presenter/report_composer.h"
#include "qzplatform/win32.h"

namespace {

using demo::ComposeReport;
using demo::ReportRequest;

// Characters 128 to 255 go through the 8-bit code page: ISO 8859-1 off Windows passes
// them unchanged; Windows-1252 (a Western Windows) has no U+0080 and writes U+0141 as its
// nearest letter, L.
bool IsWindows1252() { return GetACP() == 1252; }

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

ReportRequest Request(int id, int reading, qz::Text data, bool fixed = false) {
  ReportRequest r;
  r.reportId = id;
  r.reading = reading;
  r.data = std::move(data);
  r.fixedLength = fixed;
  return r;
}

TEST(ComposeReport, AtStartUpTheTextIsReadAsHexAndGivesNothingButTheReason) {
  qz::Text fault;
  EXPECT_EQ(ComposeReport(ReportRequest{}, 0, &fault), std::nullopt);
  EXPECT_EQ(fault, u"\"H\" at character 1 is not a hexadecimal digit");
}

TEST(ComposeReport, AsciiDataFollowsTheReportId) {
  EXPECT_EQ(ComposeReport(Request(5, demo::kAsciiReading, u"AB"), 0), Bytes({5, 0x41, 0x42}));
  // 0xE9 passes; one the code page cannot hold is '?' (or its nearest letter).
  EXPECT_EQ(ComposeReport(Request(0, demo::kAsciiReading, u"\u00e9\u0141"), 0),
            Bytes({0, 0xE9, IsWindows1252() ? 'L' : '?'}));
}

TEST(ComposeReport, HexDataMayHaveBlanksCommasAndPrefixes) {
  EXPECT_EQ(ComposeReport(Request(5, demo::kHexReading, u"0102ff"), 0), Bytes({5, 1, 2, 0xFF}));
  EXPECT_EQ(ComposeReport(Request(5, demo::kHexReading, u"01 02,0x03"), 0), Bytes({5, 1, 2, 3}));
  EXPECT_EQ(ComposeReport(Request(5, demo::kHexReading, u"010"), 0), std::nullopt);
  EXPECT_EQ(ComposeReport(Request(0xFF, demo::kNoReading, u"80"), 0),
            Bytes({0xFF, IsWindows1252() ? '?' : 0x80}));
}

TEST(ComposeReport, FixedLengthCutsOrPadsWithZeros) {
  EXPECT_EQ(ComposeReport(Request(1, demo::kAsciiReading, u"ABCDEFGHIJ", true), 8),
            Bytes({1, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}));
  EXPECT_EQ(ComposeReport(Request(1, demo::kAsciiReading, u"AB", true), 8),
            Bytes({1, 'A', 'B', 0, 0, 0, 0, 0}));
  // Before any device was opened the length is 0: nothing at all.
  EXPECT_EQ(ComposeReport(Request(1, demo::kAsciiReading, u"AB", true), 0), std::string());
  // Without the check box the length is ignored.
  EXPECT_EQ(ComposeReport(Request(1, demo::kAsciiReading, u"AB", false), 1), Bytes({1, 'A', 'B'}));
}

TEST(ReportIdFromText, EmptyOrNotANumberReadsZeroAndAnyNumberIsBroughtIntoAByte) {
  EXPECT_EQ(demo::ReportIdFromText(u""), 0);
  EXPECT_EQ(demo::ReportIdFromText(u"7x"), 0);
  EXPECT_EQ(demo::ReportIdFromText(u" 17 "), 17);
  EXPECT_EQ(demo::ReportIdFromText(u"300"), 255);
  EXPECT_EQ(demo::ReportIdFromText(u"99999999999999999999"), 255);
  EXPECT_EQ(demo::ReportIdFromText(u"-3"), 0);
}

TEST(ComposeReport, AReportIdOutsideAByteIsBroughtToTheNearerBound) {
  EXPECT_EQ(ComposeReport(Request(300, demo::kAsciiReading, u""), 0), Bytes({0xFF}));
  EXPECT_EQ(ComposeReport(Request(-4, demo::kAsciiReading, u""), 0), Bytes({0}));
}

}  // namespace
