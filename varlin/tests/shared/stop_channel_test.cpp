#include "shared/stop_channel.hpp"

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

namespace varlin {
namespace {

TEST(StopChannel, EachSendIsOneMessage) {
  StopChannel channel = StopChannel::create();
  StopSender clone = channel.sender.clone();
  EXPECT_TRUE(channel.sender.send());
  EXPECT_TRUE(clone.send());
  EXPECT_TRUE(channel.receiver.wait().has_value());
  EXPECT_TRUE(channel.receiver.wait().has_value());
  { StopSender released = std::move(clone); }
  StopSender last = std::move(channel.sender);
  EXPECT_FALSE(channel.sender.send()) << "a moved-from sender sends nothing";
  EXPECT_FALSE(channel.sender.clone().send());
  { StopSender released = std::move(last); }
  EXPECT_FALSE(channel.receiver.wait().has_value()) << "nothing queued and no sender left";
}

TEST(StopChannel, QueuedMessagesOutliveTheirSenders) {
  StopChannel channel = StopChannel::create();
  {
    StopSender sender = std::move(channel.sender);
    sender.send();
  }
  EXPECT_TRUE(channel.receiver.wait().has_value());
  EXPECT_FALSE(channel.receiver.wait().has_value());
}

TEST(StopChannel, SendFailsOnceTheReceiverIsGone) {
  StopChannel channel = StopChannel::create();
  StopSender sender = channel.sender.clone();
  { StopReceiver released = std::move(channel.receiver); }
  EXPECT_FALSE(sender.send());
}

TEST(StopChannel, WaitWakesForSendersOnOtherThreads) {
  StopChannel channel = StopChannel::create();
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([sender = channel.sender.clone()] { sender.send(); });
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(channel.receiver.wait().has_value());
  for (std::thread& thread : threads) thread.join();

  // The last sender going away on another thread ends a wait that is already blocked.
  auto waited = std::async(std::launch::async, [&] { return channel.receiver.wait().has_value(); });
  std::thread([sender = std::move(channel.sender)] {}).join();
  ASSERT_EQ(waited.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(waited.get());
}

}  // namespace
}  // namespace varlin
