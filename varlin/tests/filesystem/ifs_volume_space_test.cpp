// The volume's storage figures: asked of the IBM i at most once per cache lifetime, and the last ones
// kept while it cannot answer.
#include <gmock/gmock.h>

#include "fake_host_mount.hpp"

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;
using fake_ibmi::RequestKind;

using Space = VolumeSize;

const Space kMountedSpace{2'000'000, 1'500'000};
const Space kGrownSpace{4'000'000, 1'000'000};

class VolumeSpaceOnHost : public MountedRoot {
 protected:
  void grow_the_system_asp() {
    host.with_settings([](fake_ibmi::HostSettings& settings) {
      settings.system_asp = 4;
      settings.system_asp_used = 750'000;
    });
  }
};

TEST_F(VolumeSpaceOnHost, AsksAgainOnlyOnceTheFiguresAreAsOldAsTheLifetime) {
  grow_the_system_asp();
  clock.advance(kTestLifetime - 1ns);
  EXPECT_EQ(fs->volume_space(), kMountedSpace);
  EXPECT_EQ(host.count(RequestKind::system_storage), 0u);

  clock.advance(1ns);
  EXPECT_EQ(fs->volume_space(), kGrownSpace);
  EXPECT_EQ(fs->volume_space(), kGrownSpace);
  EXPECT_EQ(host.count(RequestKind::system_storage), 1u);
}

TEST_F(VolumeSpaceOnHost, KeepsTheLastFiguresAndAsksAgainWhileTheIbmiFails) {
  grow_the_system_asp();
  clock.advance(kTestLifetime);
  host.fail_next(RequestKind::system_storage, 0x0500);
  EXPECT_EQ(fs->volume_space(), kMountedSpace);
  EXPECT_EQ(fs->volume_space(), kGrownSpace) << "a failure renews nothing";
  EXPECT_EQ(host.count(RequestKind::system_storage), 2u);

  clock.advance(kTestLifetime);
  host.drop_next(RequestKind::system_storage);
  EXPECT_EQ(fs->volume_space(), kGrownSpace);
  EXPECT_EQ(fs->volume_space(), kGrownSpace) << "with the connection gone";
}

TEST_F(VolumeSpaceOnHost, AsksEveryTimeWithALifetimeOf0) {
  const auto uncached = mount("/", 0s);
  ASSERT_TRUE(uncached);
  host.clear_requests();
  host.fail_next(RequestKind::system_storage, 0x0500);
  EXPECT_EQ(uncached->volume_space(), kMountedSpace);
  grow_the_system_asp();
  EXPECT_EQ(uncached->volume_space(), kGrownSpace);
  EXPECT_EQ(uncached->volume_space(), kGrownSpace);
  EXPECT_EQ(host.count(RequestKind::system_storage), 3u);
  host.fail_next(RequestKind::system_storage, 0x0500);
  EXPECT_EQ(uncached->volume_space(), kGrownSpace);
}

}  // namespace
}  // namespace varlin::filesystem
