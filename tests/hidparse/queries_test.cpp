// The HidP_ queries: Windows' statuses, checked in Windows' order, and the
// buffer-length protocol (count written back when the buffer is too small).
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "test_support.h"

namespace hidparse_test {
namespace {

// Input: buttons 1-3 (range), X, Y; output: one LED; no feature items. Plus a
// constant Usage(0) field, which gives no cap at all.
const char kMouse[] =
    "05 01 09 02 A1 01 09 01 A1 00 05 09 19 01 29 03 15 00 25 01 95 03 75 01 81 02"
    " 09 00 95 05 81 03 05 01 09 30 09 31 15 81 25 7F 75 08 95 02 81 06 C0"
    " 05 08 09 01 95 01 75 01 91 02 95 07 91 01 C0";

class Queries : public ::testing::Test {
 protected:
  void SetUp() override {
    result_ = ParseOk(kMouse);
    ASSERT_EQ(result_.collections.size(), 1u);
    data_ = result_.collections.front().get();
  }
  hidparse::ParseResult result_;
  const hidparse::PreparsedData* data_ = nullptr;
};

TEST_F(Queries, GetCapsChecksPreparsedDataThenFills) {
  HIDP_CAPS caps{};
  EXPECT_EQ(hidparse::GetCaps(nullptr, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_EQ(hidparse::GetCaps(data_, nullptr), HIDP_STATUS_INTERNAL_ERROR);
  ASSERT_EQ(hidparse::GetCaps(data_, &caps), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(std::memcmp(&caps, &data_->caps, sizeof caps), 0);
  // The constant Usage(0) field counts nowhere: the counts are what the queries return.
  EXPECT_EQ(caps.NumberInputButtonCaps, 1);
  EXPECT_EQ(caps.NumberInputDataIndices, 5);
}

TEST_F(Queries, ButtonCapsStatusesComeInWindowsOrder) {
  HIDP_BUTTON_CAPS caps[4] = {};
  USHORT length = 0;
  // Preparsed data is checked before the report type, the type before the length.
  EXPECT_EQ(hidparse::GetButtonCaps(static_cast<HIDP_REPORT_TYPE>(3), caps, &length, nullptr),
            HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_EQ(hidparse::GetButtonCaps(static_cast<HIDP_REPORT_TYPE>(3), caps, &length, data_),
            HIDP_STATUS_INVALID_REPORT_TYPE);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(hidparse::GetButtonCaps(HidP_Input, caps, nullptr, data_), HIDP_STATUS_INTERNAL_ERROR);

  EXPECT_EQ(hidparse::GetButtonCaps(HidP_Input, caps, &length, data_),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 1);  // the count needed
  length = 4;
  EXPECT_EQ(hidparse::GetButtonCaps(HidP_Input, nullptr, &length, data_),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 1);
  length = 4;
  ASSERT_EQ(hidparse::GetButtonCaps(HidP_Input, caps, &length, data_), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(length, 1);
  EXPECT_EQ(caps[0].Range.UsageMax, 3);

  length = 4;
  EXPECT_EQ(hidparse::GetButtonCaps(HidP_Feature, caps, &length, data_),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(length, 0);
}

TEST_F(Queries, ValueCapsFillAShortBufferAsFarAsItGoes) {
  HIDP_VALUE_CAPS caps[3];
  std::memset(caps, 0xAB, sizeof caps);
  USHORT length = 1;
  EXPECT_EQ(hidparse::GetValueCaps(HidP_Input, caps, &length, data_),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(caps[0].NotRange.Usage, 0x31);  // first entry written
  EXPECT_EQ(caps[1].UsagePage, 0xABAB);     // second left alone
  length = 3;
  ASSERT_EQ(hidparse::GetValueCaps(HidP_Input, caps, &length, data_), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(caps[1].NotRange.Usage, 0x30);
  EXPECT_EQ(hidparse::GetValueCaps(HidP_Output, caps, &length, data_),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(hidparse::GetValueCaps(static_cast<HIDP_REPORT_TYPE>(3), caps, &length, data_),
            HIDP_STATUS_INVALID_REPORT_TYPE);
  EXPECT_EQ(hidparse::GetValueCaps(HidP_Input, caps, &length, nullptr),
            HIDP_STATUS_INVALID_PREPARSED_DATA);
}

TEST_F(Queries, SpecificCapsFilterByPageLinkAndUsage) {
  HIDP_VALUE_CAPS values[3] = {};
  USHORT length = 3;
  ASSERT_EQ(hidparse::GetSpecificValueCaps(HidP_Input, 0x01, 0, 0x30, values, &length, data_),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(length, 1);
  EXPECT_EQ(values[0].NotRange.Usage, 0x30);
  length = 3;
  ASSERT_EQ(hidparse::GetSpecificValueCaps(HidP_Input, 0, 0, 0, values, &length, data_),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(length, 2);  // 0 matches everything
  // (Windows) a page, link collection or usage nothing has: USAGE_NOT_FOUND, count 0.
  for (const auto& [page, link, usage] : {std::tuple{0xFFFE, 0, 0}, std::tuple{0, 0xFFFE, 0},
                                          std::tuple{0, 0, 0xFFFE}}) {
    length = 3;
    EXPECT_EQ(hidparse::GetSpecificValueCaps(HidP_Input, static_cast<USAGE>(page),
                                             static_cast<USHORT>(link),
                                             static_cast<USAGE>(usage), values, &length, data_),
              HIDP_STATUS_USAGE_NOT_FOUND);
    EXPECT_EQ(length, 0);
  }
  length = 1;
  EXPECT_EQ(hidparse::GetSpecificValueCaps(HidP_Input, 0x01, 1, 0, values, &length, data_),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 2);

  HIDP_BUTTON_CAPS buttons[2] = {};
  length = 2;
  // A usage inside a range finds the range's cap.
  ASSERT_EQ(hidparse::GetSpecificButtonCaps(HidP_Input, 0x09, 0, 2, buttons, &length, data_),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(length, 1);
  EXPECT_EQ(buttons[0].Range.UsageMax, 3);
  // The LED is in the top-level collection, not in the physical one.
  EXPECT_EQ(hidparse::GetSpecificButtonCaps(HidP_Output, 0x08, 1, 0, buttons, &length, data_),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(hidparse::GetSpecificButtonCaps(static_cast<HIDP_REPORT_TYPE>(3), 0, 0, 0, buttons,
                                            &length, nullptr),
            HIDP_STATUS_INVALID_PREPARSED_DATA);
}

TEST_F(Queries, LinkCollectionNodesNeedTheWholeArray) {
  HIDP_LINK_COLLECTION_NODE nodes[2];
  std::memset(nodes, 0xCD, sizeof nodes);
  ULONG length = 1;
  EXPECT_EQ(hidparse::GetLinkCollectionNodes(nodes, &length, nullptr),
            HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_EQ(hidparse::GetLinkCollectionNodes(nodes, nullptr, data_), HIDP_STATUS_INTERNAL_ERROR);
  EXPECT_EQ(hidparse::GetLinkCollectionNodes(nodes, &length, data_),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(nodes[0].LinkUsage, 0xCDCD);  // nothing written on failure
  ASSERT_EQ(hidparse::GetLinkCollectionNodes(nodes, &length, data_), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(nodes[0].LinkUsage, 2);
  EXPECT_EQ(nodes[0].FirstChild, 1);
  EXPECT_EQ(nodes[1].LinkUsage, 1);
}

}  // namespace
}  // namespace hidparse_test
