// Helpers of the local channel tests: whole-message reads and writes, and a
// fixture with the services a channel uses (configuration with the log
// directory inside the test's root, memory, the sync objects' directory),
// short wait limits and a one-way exchange with a forked peer.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "os_coscfg.h"
#include "os_cosmem.h"
#include "os_cossocket.h"
#include "../os_cossync_helpers.h"
#include "os_cossync.h"
#include "test_support.h"

namespace sockettest {

inline std::string RandomBytes(size_t a_size, unsigned a_seed) {
  std::mt19937 random(a_seed);
  std::string bytes(a_size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// Reads until a_size bytes have come; the status that stopped it.
inline EOSSTS ReadAll(COsSocket& a_socket, std::string* a_pdata, size_t a_size, uint32_t a_u32Milliseconds = 10000) {
  a_pdata->assign(a_size, '\0');
  size_t got = 0;
  while (got < a_size) {
    uint64_t read = 0;
    EOSSTS eossts = a_socket.Read(a_pdata->data() + got, a_size - got, &read, a_u32Milliseconds, 0, nullptr, nullptr);
    if (eossts != OS_STS_SUCCESS) return eossts;
    got += read;
  }
  return OS_STS_SUCCESS;
}

inline EOSSTS WriteAll(COsSocket& a_socket, const std::string& a_data) {
  uint64_t written = 0;
  EOSSTS eossts = a_socket.Write(a_data.data(), a_data.size(), &written, 10000, 0);
  return eossts == OS_STS_SUCCESS && written != a_data.size() ? OS_STS_FAIL : eossts;
}

inline std::string Flip(std::string a_data) {
  for (char& c : a_data) c = static_cast<char>(c ^ 0x5A);
  return a_data;
}

class LocalChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OsCfgVersion version{"04", "10", "02", "00", "28", "07", "2015"};
    m_cfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &version, false, nullptr);
    Set(OS_CFGTAG_LOGDIRECTORY, LogDirectory());
    m_mem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
    COsSync::SetFallbackDirectory(testsupport::RootPath("common").c_str());
    COsSocket::SetPassTime(50);
    COsSocket::SetQueueTimeoutFloor(300);
  }
  void TearDown() override {
    COsSocket::SetPassTime(-1);
    COsSocket::SetQueueTimeoutFloor(-1);
    COsSync::SetFallbackDirectory(nullptr);
    m_mem.reset();
    m_cfg.reset();
  }

  static std::string LogDirectory() { return testsupport::RootPath("log"); }

  // Set keeps the pointer: the texts live in the fixture.
  void Set(unsigned a_uTag, const std::string& a_value) {
    m_values.push_back(std::make_unique<std::string>(a_value));
    ASSERT_EQ(OS_STS_SUCCESS, m_cfg->Set(OS_CFGSECTION_MAIN, a_uTag, m_values.back()->c_str()));
  }

  // Create (and Listen) with the tag, then the published address and port.
  void Publish(COsSocket& a_socket, EOSSOCKETTYPE a_eossockettype, const char* a_szAddress = nullptr,
               const char* a_szPort = "") {
    ASSERT_EQ(OS_STS_SUCCESS, a_socket.Create(a_szAddress, a_szPort, a_eossockettype, "DRV2GUI"));
    ASSERT_EQ(OS_STS_SUCCESS, a_socket.Listen(1));
    char szAddress[64] = "", szPort[2048] = "";
    ASSERT_EQ(OS_STS_SUCCESS, a_socket.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort));
    m_address = szAddress;
    m_port = szPort;
  }

  // A forked peer connects with the published address; one text crosses in
  // the direction of the creator's slot. The peer stays until the creator
  // is done: Accept watches it.
  void ExchangeOneWay(COsSocket& a_creator, bool a_blCreatorReads) {
    synctest::Pipe done;
    pid_t child = synctest::Fork([&] {
      COsSocket peer;
      if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
      std::string text;
      if (a_blCreatorReads) return WriteAll(peer, "to the creator") == OS_STS_SUCCESS && done.Receive() == 'd' ? 0 : 2;
      return ReadAll(peer, &text, 16) == OS_STS_SUCCESS && text == "to the connector" ? 0 : 3;
    });
    ASSERT_EQ(OS_STS_SUCCESS, a_creator.Accept(10000, nullptr, nullptr));
    std::string text;
    if (a_blCreatorReads) {
      EXPECT_EQ(OS_STS_SUCCESS, ReadAll(a_creator, &text, 14));
      EXPECT_EQ("to the creator", text);
    } else {
      EXPECT_EQ(OS_STS_SUCCESS, WriteAll(a_creator, "to the connector"));
    }
    done.Send('d');
    EXPECT_EQ(0, synctest::Reap(child));
  }

  std::unique_ptr<COsCfg> m_cfg;
  std::unique_ptr<COsMem> m_mem;
  std::vector<std::unique_ptr<std::string>> m_values;
  std::string m_address;
  std::string m_port;
};

// Sends the data and expects it back with every byte changed (Flip).
inline void ExpectFlippedBack(COsSocket& a_socket, const std::string& a_data) {
  ASSERT_EQ(OS_STS_SUCCESS, WriteAll(a_socket, a_data));
  std::string back;
  ASSERT_EQ(OS_STS_SUCCESS, ReadAll(a_socket, &back, a_data.size()));
  EXPECT_TRUE(back == Flip(a_data));
}

// The three pairs a peer uses both ways, and their names in test names.
inline const auto kPairs = ::testing::Values(OS_SOCKETTYPE_TCP, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE,
                                             OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
inline std::string PairName(const ::testing::TestParamInfo<EOSSOCKETTYPE>& a_info) {
  return a_info.param == OS_SOCKETTYPE_TCP                       ? std::string("Tcp")
         : a_info.param == OS_SOCKETTYPE_SHAREDMEMORY_READWRITE ? std::string("SharedMemory")
                                                                 : std::string("MessageQueue");
}

// The file part of a path.
inline std::string FilePart(const std::string& a_path) { return a_path.substr(a_path.rfind('/') + 1); }

}  // namespace sockettest
