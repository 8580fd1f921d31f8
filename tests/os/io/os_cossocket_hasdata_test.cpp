// Whether a read would find something at once, on each transport: nothing
// before the peer writes, something until it is read, and for TCP the
// peer's end too. It never waits.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "../os_cossync_helpers.h"
#include "os_cossocket.h"
#include "os_cossocket_testutil.h"

namespace {
using sockettest::ReadAll;
using sockettest::WriteAll;
using synctest::Fork;
using synctest::Pipe;
using synctest::Reap;

// Polls until the channel has data; false after five seconds.
bool Arrives(COsSocket& a_socket) {
  for (int i = 0; i < 500; ++i) {
    if (a_socket.HasData()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class SocketHasDataTest : public sockettest::LocalChannelTest,
                          public ::testing::WithParamInterface<EOSSOCKETTYPE> {};

TEST_P(SocketHasDataTest, TellsWhatAReadWouldFind) {
  COsSocket creator;
  EXPECT_FALSE(creator.HasData());  // not open
  Publish(creator, GetParam());
  Pipe go, done;
  pid_t child = Fork([&] {
    COsSocket peer;
    if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
    if (go.Receive() != 'g' || WriteAll(peer, "two pieces") != OS_STS_SUCCESS) return 2;
    return done.Receive() == 'd' ? 0 : 3;
  });
  ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
  EXPECT_FALSE(creator.HasData());
  go.Send('g');
  ASSERT_TRUE(Arrives(creator));
  std::string text;
  ASSERT_EQ(OS_STS_SUCCESS, ReadAll(creator, &text, 4));
  EXPECT_TRUE(creator.HasData());  // the rest
  ASSERT_EQ(OS_STS_SUCCESS, ReadAll(creator, &text, 6));
  EXPECT_EQ("pieces", text);
  EXPECT_FALSE(creator.HasData());
  done.Send('d');
  EXPECT_EQ(0, Reap(child));
  // The end of a TCP peer is there to read at once.
  if (GetParam() == OS_SOCKETTYPE_TCP) {
    EXPECT_TRUE(Arrives(creator));
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SocketHasDataTest,
                         sockettest::kPairs, sockettest::PairName);

}  // namespace
