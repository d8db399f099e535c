#include "winfsp/file_system_context.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "captured_events.hpp"
#include "mock_file_system_context.hpp"
#include "stub_winfsp.hpp"
#include "winfsp/operation_table.hpp"

namespace varlin::filesystem {
namespace {

using ::testing::NiceMock;
using ::testing::Return;
using ::testing::ReturnRef;
using namespace winfsp;

class VolumeSlots : public ::testing::Test {
 protected:
  NiceMock<MockFileSystemContext> context;
  winfsp_stub::StubWinFsp winfsp;
  OperationTarget target{context, winfsp};
  FSP_FILE_SYSTEM file_system{0, &target};
  FSP_FILE_SYSTEM_INTERFACE table = operation_table<FakeFileRef>();
};

TEST_F(VolumeSlots, VolumeInfoGivesTheSizesAndALabelOfAtMost32Units) {
  struct Case {
    std::string label;
    std::u16string expected;
  };
  const Case cases[] = {
      {"", u""},
      {"ibmi.example.com", u"ibmi.example.com"},
      {std::string(32, 'h'), std::u16string(32, u'h')},
      {std::string(33, 'h'), std::u16string(32, u'h')},
      // A cut may split a surrogate pair: 31 units, then the high half of U+1F600.
      {std::string(31, 'h') + "\xF0\x9F\x98\x80", std::u16string(31, u'h') + u'\xD83D'},
  };
  EXPECT_CALL(context, volume_space())
      .WillRepeatedly(Return(VolumeSize{.total = 2'000'000, .free = 1'500'000}));
  for (const Case& test : cases) {
    EXPECT_CALL(context, volume_label()).WillOnce(ReturnRef(test.label));
    FSP_FSCTL_VOLUME_INFO info{};
    std::fill(std::begin(info.VolumeLabel), std::end(info.VolumeLabel), u'#');
    ASSERT_EQ(table.GetVolumeInfo(&file_system, &info), kStatusSuccess);
    EXPECT_EQ(info.TotalSize, 2'000'000u);
    EXPECT_EQ(info.FreeSize, 1'500'000u);
    EXPECT_EQ(info.VolumeLabelLength, test.expected.size() * 2);
    EXPECT_EQ(std::u16string(info.VolumeLabel, test.expected.size()), test.expected);
    if (test.expected.size() < kVolumeLabelUnits) {
      EXPECT_EQ(info.VolumeLabel[test.expected.size()], u'#') << "the rest of the label is not written";
    }
  }
}

TEST_F(VolumeSlots, DispatcherStoppedTellsTheContextEachTimeAndStopsTheService) {
  CapturedEvents events;
  ::testing::InSequence in_order;
  EXPECT_CALL(context, dispatcher_stopped(false));
  EXPECT_CALL(context, dispatcher_stopped(true));

  table.DispatcherStopped(&file_system, 0);
  table.DispatcherStopped(&file_system, 1);

  EXPECT_EQ(winfsp.stop_service_calls(), (std::vector<bool>{false, true}));
  EXPECT_EQ(events.lines(), (std::vector<std::string>{"WinFsp dispatcher stopped normally=false",
                                                      "WinFsp dispatcher stopped normally=true"}));
}

TEST_F(VolumeSlots, AFaultInDispatcherStoppedSkipsTheServiceStop) {
  EXPECT_CALL(context, dispatcher_stopped(true)).WillOnce([] { throw std::runtime_error("pipe"); });
  table.DispatcherStopped(&file_system, 1);
  EXPECT_TRUE(winfsp.stop_service_calls().empty());
}

}  // namespace
}  // namespace varlin::filesystem
