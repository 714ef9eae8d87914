// How a descriptor becomes Windows' caps: usage assignment, storage order, data
// indices, report lengths, value extents, link nodes. Each test is one rule.
#include <gtest/gtest.h>

#include "hidparse/dump.h"
#include "test_support.h"

namespace hidparse_test {
namespace {

// Header of a joystick application collection; callers close it with C0.
const char kJoystick[] = "05 01 09 04 A1 01 ";

TEST(CapsRules, VariableItemUsesUsagesInOrderAndTheLastTakesLeftoverFields) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "15 00 25 7F 75 08"
                              " 09 30 09 31 09 32 95 02 81 02"  // X Y Z, 2 fields: Z dropped
                              " 09 33 09 34 95 04 81 02"        // Rx Ry, 4 fields: Ry takes 3
                              " C0");
  const auto& data = Only(result);
  const HIDP_VALUE_CAPS axis{.UsagePage = 1, .BitField = 2, .LinkUsage = 4, .LinkUsagePage = 1,
                             .IsAbsolute = 1, .BitSize = 8, .ReportCount = 1, .LogicalMax = 127};
  auto cap = [&](USAGE usage, USHORT index, USHORT count) {
    HIDP_VALUE_CAPS c = axis;
    c.ReportCount = count;
    c.Range = Usages(usage, usage, index, index);
    return c;
  };
  // Stored last-declared first; data indices follow the stored order.
  ExpectValueCapsList(data, HidP_Input,
                      {cap(0x31, 0, 1), cap(0x30, 1, 1), cap(0x34, 2, 3), cap(0x33, 3, 1)});
  EXPECT_EQ(data.caps.NumberInputDataIndices, 4);
  EXPECT_EQ(data.caps.InputReportByteLength, 1 + 6);
}

TEST(CapsRules, ArrayItemStoresCapsReversedButNumbersThemInDeclarationOrder) {
  // Usage 1, range 0x10-0x13, usage 2, range 0x20-0x21 on one array item.
  const auto result = ParseOk(std::string(kJoystick) +
                              "05 09 09 01 19 10 29 13 09 02 19 20 29 21"
                              " 15 00 25 08 75 08 95 02 81 00 C0");
  const auto& data = Only(result);
  auto cap = [](USAGE min, USAGE max, USHORT first, USHORT last) {
    return HIDP_BUTTON_CAPS{.UsagePage = 9, .LinkUsage = 4, .LinkUsagePage = 1,
                            .IsRange = min != max, .IsAbsolute = 1, .ReportCount = 2,
                            .Range = Usages(min, max, first, last)};
  };
  ExpectButtonCapsList(data, HidP_Input,
                       {cap(0x20, 0x21, 6, 7), cap(0x02, 0x02, 5, 5), cap(0x10, 0x13, 1, 4),
                        cap(0x01, 0x01, 0, 0)});
  EXPECT_EQ(data.caps.NumberInputDataIndices, 8);
}

TEST(CapsRules, RangeUsesAllItsDataIndicesWhateverTheReportCount) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "05 09 15 00 25 01 75 01"
                              " 19 01 29 08 95 02 81 02"   // 8 usages, 2 fields
                              " 19 09 29 0A 95 08 81 02"   // 2 usages, 8 fields
                              " C0");
  const auto& data = Only(result);
  auto cap = [](USAGE min, USAGE max, USHORT first, USHORT last) {
    return HIDP_BUTTON_CAPS{.UsagePage = 9, .BitField = 2, .LinkUsage = 4, .LinkUsagePage = 1,
                            .IsRange = 1, .IsAbsolute = 1, .ReportCount = 1,
                            .Range = Usages(min, max, first, last)};
  };
  ExpectButtonCapsList(data, HidP_Input, {cap(1, 8, 0, 7), cap(9, 10, 8, 9)});
  EXPECT_EQ(data.caps.NumberInputDataIndices, 10);
  EXPECT_EQ(data.caps.InputReportByteLength, 1 + 2);  // 10 bits
}

TEST(CapsRules, DataIndicesArePerReportTypeAndSharedByButtonsAndValues) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "85 01 05 09 19 01 29 03 15 00 25 01 75 01 95 03 81 02"  // in 0-2
                              " 95 05 81 01"                                          // padding
                              " 05 01 09 30 26 FF 00 75 08 95 01 91 02"              // out 0
                              " 85 02 09 31 81 02"                          // in 3, report 2
                              " 05 09 09 04 75 01 B1 02 75 07 B1 01"        // feature 0
                              " C0");
  const auto& data = Only(result);
  ASSERT_EQ(data.button_caps[HidP_Input].size(), 1u);
  ASSERT_EQ(data.value_caps[HidP_Input].size(), 1u);
  EXPECT_EQ(data.button_caps[HidP_Input][0].Range.DataIndexMax, 2);
  EXPECT_EQ(data.value_caps[HidP_Input][0].NotRange.DataIndex, 3);
  EXPECT_EQ(data.value_caps[HidP_Input][0].ReportID, 2);
  EXPECT_EQ(data.value_caps[HidP_Output][0].NotRange.DataIndex, 0);
  EXPECT_EQ(data.button_caps[HidP_Feature][0].NotRange.DataIndex, 0);
  EXPECT_EQ(data.caps.NumberInputDataIndices, 4);
  EXPECT_EQ(data.caps.NumberOutputDataIndices, 1);
  EXPECT_EQ(data.caps.NumberFeatureDataIndices, 1);
  // Single usages are one-element ranges: NotRange's reserved words repeat them.
  EXPECT_EQ(data.value_caps[HidP_Input][0].NotRange.Reserved1, 0x31);
  EXPECT_EQ(data.value_caps[HidP_Input][0].NotRange.Reserved4, 3);
  // Report lengths: report 1 input 1 byte, report 2 input 1 byte, report 1
  // output 1 byte, report 2 feature 1 byte; each plus the report-ID byte.
  EXPECT_EQ(data.caps.InputReportByteLength, 2);
  EXPECT_EQ(data.caps.OutputReportByteLength, 2);
  EXPECT_EQ(data.caps.FeatureReportByteLength, 2);
  EXPECT_EQ(data.report_ids[HidP_Input], (std::vector<std::uint8_t>{1, 2}));
  EXPECT_EQ(data.report_ids[HidP_Output], (std::vector<std::uint8_t>{1}));
  EXPECT_EQ(data.report_ids[HidP_Feature], (std::vector<std::uint8_t>{2}));
}

// Microsoft's HidP_GetButtonCaps and HidP_GetValueCaps documentation sizes the
// buffer from HIDP_CAPS.Number*Caps, so the counts and the queries must agree;
// Windows' answers for devices with a constant Usage(0) field show that field
// returns no cap, counts nowhere and takes no data index, but keeps its bits.
TEST(CapsRules, ConstantUsageZeroTakesBitsButNoCapCountOrDataIndex) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "05 09 19 01 29 03 15 00 25 01 75 01 95 03 81 02"  // buttons 0-2
                              " 09 00 95 05 81 03"                               // 5 bits
                              " 09 00 75 08 95 01 81 03"                         // 8 bits
                              " 05 01 09 30 81 02"                               // X
                              " C0");
  const auto& data = Only(result);
  HIDP_BUTTON_CAPS buttons[4];
  HIDP_VALUE_CAPS values[4];
  USHORT button_count = 4;
  USHORT value_count = 4;
  ASSERT_EQ(hidparse::GetButtonCaps(HidP_Input, buttons, &button_count, &data),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(hidparse::GetValueCaps(HidP_Input, values, &value_count, &data),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(data.caps.NumberInputButtonCaps, button_count);
  EXPECT_EQ(data.caps.NumberInputValueCaps, value_count);
  EXPECT_EQ(button_count, 1);
  EXPECT_EQ(value_count, 1);
  EXPECT_EQ(values[0].NotRange.Usage, 0x30);
  EXPECT_EQ(values[0].NotRange.DataIndex, 3);  // right after the buttons
  EXPECT_EQ(data.caps.NumberInputDataIndices, 4);
  EXPECT_EQ(data.caps.InputReportByteLength, 1 + 3);  // 3 + 5 + 8 + 8 bits
}

// Windows' answers for a real device whose feature report is a Constant Array
// item with a usage: the report keeps its length and has no button cap.
TEST(CapsRules, ConstantArrayWithAUsageGivesNoCapAndNoDataIndex) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "05 09 09 01 15 00 25 01 75 08 95 02 B1 01"  // 2 constant bytes
                              " 05 01 09 30 95 01 B1 02"                   // X
                              " C0");
  const auto& data = Only(result);
  HIDP_BUTTON_CAPS buttons[2];
  USHORT button_count = 2;
  EXPECT_EQ(hidparse::GetButtonCaps(HidP_Feature, buttons, &button_count, &data),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(button_count, 0);
  EXPECT_EQ(data.caps.NumberFeatureButtonCaps, 0);
  ASSERT_EQ(data.value_caps[HidP_Feature].size(), 1u);
  EXPECT_EQ(data.value_caps[HidP_Feature][0].NotRange.DataIndex, 0);
  EXPECT_EQ(data.caps.NumberFeatureDataIndices, 1);
  EXPECT_EQ(data.caps.FeatureReportByteLength, 1 + 3);
}

TEST(CapsRules, ReportLengthIsTheLongestReportPlusTheIdByte) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "75 08 95 03 85 01 81 01"   // report 1: 3 bytes of padding
                              " 95 0A 85 07 81 01"        // report 7: 10 bytes
                              " C0");
  const auto& data = Only(result);
  EXPECT_EQ(data.caps.InputReportByteLength, 11);
  EXPECT_EQ(data.caps.OutputReportByteLength, 0);  // no output item at all
  EXPECT_EQ(data.caps.NumberInputButtonCaps + data.caps.NumberInputValueCaps, 0);
}

TEST(CapsRules, ExtentsAreSignedInTheirOwnWidthAndExponentIsSignExtended) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "75 10 95 01"
                              " 15 FF 26 FF FF 35 00 47 FF FF FF FF 55 0D 67 01 10 00 00"
                              " 09 30 81 02"
                              " 15 00 27 FF FF 00 00 55 FD 09 31 81 02 C0");
  const auto& caps = Only(result).value_caps[HidP_Input];
  ASSERT_EQ(caps.size(), 2u);
  EXPECT_EQ(caps[0].LogicalMin, -1);   // one byte 0xFF
  EXPECT_EQ(caps[0].LogicalMax, -1);   // two bytes 0xFFFF: the classic pitfall
  EXPECT_EQ(caps[0].PhysicalMax, -1);  // four bytes 0xFFFFFFFF
  EXPECT_EQ(caps[0].UnitsExp, 13u);    // the item value, not the 4-bit code's -3
  EXPECT_EQ(caps[0].Units, 0x1001u);
  EXPECT_EQ(caps[1].LogicalMax, 65535);  // four bytes 0x0000FFFF
  EXPECT_EQ(caps[1].UnitsExp, 0xFFFFFFFDu);
}

TEST(CapsRules, BitFieldKeepsTheNineFlagBits) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "75 08 95 01 15 00 25 01"
                              " 09 30 82 02 01"              // Var + Buffered Bytes
                              " 09 31 83 42 00 FF FF"        // 4-byte item, reserved bits set
                              " C0");
  const auto& caps = Only(result).value_caps[HidP_Input];
  ASSERT_EQ(caps.size(), 2u);
  EXPECT_EQ(caps[0].BitField, 0x102);
  EXPECT_EQ(caps[1].BitField, 0x042);
  EXPECT_TRUE(caps[1].HasNull);
}

TEST(CapsRules, UsagesTakeTheirPageWhenDeclaredUnlessExtended) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "09 30"               // X on Generic Desktop
                              " 05 09 09 01"        // Button 1
                              " 0B E9 00 0C 00"     // Consumer Volume Up, extended
                              " 15 00 25 01 75 01 95 03 81 02 95 05 81 01 C0");
  const auto& caps = Only(result).button_caps[HidP_Input];
  ASSERT_EQ(caps.size(), 3u);
  EXPECT_EQ(caps[0].UsagePage, 0x0C);
  EXPECT_EQ(caps[0].NotRange.Usage, 0xE9);
  EXPECT_EQ(caps[1].UsagePage, 0x09);
  EXPECT_EQ(caps[2].UsagePage, 0x01);
  EXPECT_EQ(caps[2].NotRange.Usage, 0x30);
}

TEST(CapsRules, LinkNodesAreNumberedInOrderWithTheLatestChildFirst) {
  const auto result = ParseOk(
      "05 01 09 04 A1 01"
      "  09 01 A1 00 C0"              // node 1
      "  05 09 A1 02"                 // node 2, no usage: page Button
      "    05 01 09 30 A1 80 C0"      // node 3, vendor collection type 0x80
      "  C0"
      "  09 05 A1 03 C0"              // node 4 (page Generic Desktop again)
      " C0");
  const auto& data = Only(result);
  const std::vector<HIDP_LINK_COLLECTION_NODE> expected = {
      {.LinkUsage = 4, .LinkUsagePage = 1, .NumberOfChildren = 3, .FirstChild = 4,
       .CollectionType = 1},
      {.LinkUsage = 1, .LinkUsagePage = 1, .CollectionType = 0},
      {.LinkUsage = 0, .LinkUsagePage = 9, .NumberOfChildren = 1, .NextSibling = 1,
       .FirstChild = 3, .CollectionType = 2},
      {.LinkUsage = 0x30, .LinkUsagePage = 1, .Parent = 2, .CollectionType = 0x80},
      {.LinkUsage = 5, .LinkUsagePage = 1, .NextSibling = 2, .CollectionType = 3},
  };
  SCOPED_TRACE(hidparse::DumpCaps(data));
  ASSERT_EQ(data.link_collections.size(), expected.size());
  EXPECT_EQ(data.caps.NumberLinkCollectionNodes, expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("link_collections[" + std::to_string(i) + "]");
    ExpectNode(data.link_collections[i], expected[i]);
  }
}

TEST(CapsRules, AliasedCollectionIsConsecutiveNodesWithThePreferredLast) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "A9 01 09 01 09 02 A9 00 A1 00"  // Pointer, alias Mouse
                              " 09 30 15 00 25 7F 75 08 95 01 81 02 C0 C0");
  const auto& data = Only(result);
  ASSERT_EQ(data.link_collections.size(), 3u);
  EXPECT_EQ(data.link_collections[1].LinkUsage, 2);
  EXPECT_EQ(data.link_collections[1].IsAlias, 1u);
  EXPECT_EQ(data.link_collections[2].LinkUsage, 1);
  EXPECT_EQ(data.link_collections[2].IsAlias, 0u);
  ASSERT_EQ(data.value_caps[HidP_Input].size(), 1u);
  EXPECT_EQ(data.value_caps[HidP_Input][0].LinkCollection, 2);
  EXPECT_EQ(data.value_caps[HidP_Input][0].LinkUsage, 1);
}

TEST(CapsRules, PushAndPopRestoreEveryGlobal) {
  const auto result = ParseOk(std::string(kJoystick) +
                              "85 01 15 00 25 7F 75 08 95 01"
                              " A4 05 09 25 01 75 01 85 05 09 01 81 02 75 07 81 01 B4"
                              " 09 30 81 02 C0");
  const auto& data = Only(result);
  ASSERT_EQ(data.value_caps[HidP_Input].size(), 1u);
  const HIDP_VALUE_CAPS& x = data.value_caps[HidP_Input][0];
  EXPECT_EQ(x.UsagePage, 1);
  EXPECT_EQ(x.LogicalMax, 127);
  EXPECT_EQ(x.BitSize, 8);
  EXPECT_EQ(x.ReportID, 1);
  EXPECT_EQ(data.button_caps[HidP_Input][0].ReportID, 5);
  EXPECT_EQ(data.report_ids[HidP_Input], (std::vector<std::uint8_t>{1, 5}));
}

TEST(CapsRules, GlobalsCarryOverFromOneTopLevelCollectionToTheNext) {
  const auto result = ParseOk(
      "05 01 09 02 A1 01 85 01 15 81 25 7F 75 08 95 01 09 30 81 06 C0"
      "09 04 A1 01 85 02 09 31 81 02 C0");
  ASSERT_EQ(result.collections.size(), 2u);
  const auto& second = *result.collections[1];
  ASSERT_EQ(second.value_caps[HidP_Input].size(), 1u);
  EXPECT_EQ(second.value_caps[HidP_Input][0].LogicalMin, -127);
  EXPECT_EQ(second.value_caps[HidP_Input][0].NotRange.DataIndex, 0);  // counts restart
  EXPECT_EQ(second.caps.Usage, 4);
  EXPECT_EQ(second.report_ids[HidP_Input], (std::vector<std::uint8_t>{2}));
}

TEST(CapsRules, LongItemsAreSkipped) {
  const std::string body = "15 00 25 7F 75 08 95 01 09 30 81 02 C0";
  const auto plain = ParseOk(std::string(kJoystick) + body);
  const auto with_long = ParseOk(std::string(kJoystick) + "FE 04 F0 01 02 03 04 FE 00 F1 " + body);
  EXPECT_EQ(hidparse::DumpCaps(with_long), hidparse::DumpCaps(plain));
}

}  // namespace
}  // namespace hidparse_test
