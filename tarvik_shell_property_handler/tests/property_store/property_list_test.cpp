#include "property_store/property_list.hpp"

#include <gtest/gtest.h>

#include "sample_member.hpp"

namespace tarvik {
namespace {

TEST(BuildPropertyList, ListsAMembersFieldsInOrder) {
  const std::vector<PropertyEntry> expected{
      {PKEY_Ibmi_Path, u"/QSYS.LIB/L.LIB/F.FILE/M.MBR"},
      {PKEY_Title, u"Hello \u00E6"},
      {PKEY_Ibmi_Library, u"L"},
      {PKEY_Ibmi_SourceFile, u"F"},
      {PKEY_Ibmi_Member, u"M"},
      {PKEY_Ibmi_Ccsid, 37u},
      {PKEY_Ibmi_Description, u"Hello \u00E6"},
  };
  EXPECT_EQ(build_property_list(testing::kSampleMember), expected);
}

TEST(BuildPropertyList, EveryFieldInItsPlace) {
  const MetadataResult result{"/r", {"/p", "L", "F", "M", "RPGLE", 0, 0, "D\xC3\xA6"}};
  const std::vector<PropertyEntry> expected{
      {PKEY_Ibmi_Path, u"/p"},      {PKEY_Title, u"D\u00E6"},     {PKEY_Ibmi_Library, u"L"},
      {PKEY_Ibmi_SourceFile, u"F"}, {PKEY_Ibmi_Member, u"M"},     {PKEY_Ibmi_SourceType, u"RPGLE"},
      {PKEY_Ibmi_Ccsid, 0u},        {PKEY_Ibmi_RecordLength, 0u}, {PKEY_Ibmi_Description, u"D\u00E6"},
  };
  EXPECT_EQ(build_property_list(result), expected);
}

TEST(BuildPropertyList, PathFallsBackToTheResultsPath) {
  EXPECT_EQ(build_property_list({"/result/path", {}}),
            (std::vector<PropertyEntry>{{PKEY_Ibmi_Path, u"/result/path"}}));
  EXPECT_EQ(build_property_list({"/result/path", {.path = "", .description = ""}}),
            (std::vector<PropertyEntry>{{PKEY_Ibmi_Path, u""}}));
}

TEST(FindProperty, MatchesFormatIdAndPropertyId) {
  const auto list = build_property_list({"/r", {.ccsid = 37, .description = "D"}});
  ASSERT_NE(find_property(list, PKEY_Ibmi_Ccsid), nullptr);
  EXPECT_EQ(find_property(list, PKEY_Ibmi_Ccsid)->value, PropertyValue(37u));
  EXPECT_EQ(find_property(list, PKEY_Title)->value, PropertyValue(u"D"));
  EXPECT_EQ(find_property(list, PKEY_Ibmi_Library), nullptr);
  auto other_format = PKEY_Ibmi_Ccsid;
  other_format.format_id.data4[7] ^= 1;
  EXPECT_EQ(find_property(list, other_format), nullptr);
  EXPECT_EQ(find_property(list, PropertyKey{PKEY_Title.format_id, 7}), nullptr);
}

}  // namespace
}  // namespace tarvik
