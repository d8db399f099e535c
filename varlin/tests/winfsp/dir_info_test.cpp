#include "winfsp/dir_info.hpp"

#include <gtest/gtest.h>

#include <string>

namespace varlin::winfsp {
namespace {

TEST(DirInfo, NameFollowsTheFixedPartAndSizeCountsIt) {
  DirInfoRecord record{};
  ASSERT_TRUE(set_dir_info_name(record.info, u"MEMBER.MBR"));
  EXPECT_EQ(record.info.Size, 104u + 20u);
  EXPECT_EQ(std::u16string_view(record.name, 10), u"MEMBER.MBR");
  EXPECT_EQ(dir_info_name(record.info), u"MEMBER.MBR");

  const std::u16string longest(kMaxDirInfoNameUnits, u'x');
  ASSERT_TRUE(set_dir_info_name(record.info, longest));
  EXPECT_EQ(record.info.Size, 104u + 510u);
  EXPECT_FALSE(set_dir_info_name(record.info, longest + u'x'));
  EXPECT_EQ(dir_info_name(record.info), longest) << "a refused name leaves the record as it was";
}

TEST(DirInfo, NormalizedNameIsWrittenOnlyWhereItFits) {
  char16_t buffer[4] = {u'#', u'#', u'#', u'#'};
  FSP_FSCTL_OPEN_FILE_INFO info{};
  info.NormalizedName = buffer;
  info.NormalizedNameSize = sizeof(buffer);
  set_normalized_name(info, u"\\Ab");
  EXPECT_EQ(info.NormalizedNameSize, 6u);
  EXPECT_EQ(std::u16string_view(buffer, 4), u"\\Ab#");

  set_normalized_name(info, u"\\long");
  EXPECT_EQ(info.NormalizedNameSize, 6u) << "a name larger than the buffer is not given";

  FSP_FSCTL_OPEN_FILE_INFO without_buffer{};
  set_normalized_name(without_buffer, u"\\a");
  EXPECT_EQ(without_buffer.NormalizedNameSize, 0u);
}

}  // namespace
}  // namespace varlin::winfsp
