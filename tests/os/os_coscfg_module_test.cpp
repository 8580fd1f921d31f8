// The library's own module handle in a program linked with the library:
// symbols are found through it without the program ever opening the
// library itself.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include "os_coscfg.h"

TEST(OsCfgModule, TheOwnHandleFindsSymbolsInALinkedProgram) {
  void* pvOwn = COsCfg::GetHmodule();
  ASSERT_NE(pvOwn, nullptr);
  EXPECT_NE(dlsym(pvOwn, "OsServicesStart"), nullptr);
  EXPECT_EQ(dlsym(pvOwn, "main"), nullptr);
}
