// The image-address rules object: it makes its implementation and deletes
// it with itself, each step in the log.
#include <gtest/gtest.h>

#include "../../os/log_capture.h"
#include "../mem_lines.h"
#include "db_cdbia.h"

TEST(DbIa, MakesAndDeletesItsImplementation) {
  testsupport::LogCapture log(1);
  CDbIa* pdbia = new CDbIa(nullptr);
  EXPECT_TRUE(log.Contains("new CDbIaImpl"));
  delete pdbia;
  dbtest::ExpectMemoryLinesPaired(log.Text());
}
