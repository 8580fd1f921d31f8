// What the bridges need of the services in their tests: a log captured in
// the test's root and the tracked memory.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "../../os/log_capture.h"
#include "os_cosmem.h"

namespace drvuitest {

class DrvUiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plog = std::make_unique<testsupport::LogCapture>(1);
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
  }
  void TearDown() override {
    m_pmem.reset();
    m_plog.reset();
  }
  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsMem> m_pmem;
};

}  // namespace drvuitest
