// The texts the information commands fill in: a label or a configured
// template gets the first "%s" replaced and keeps every other "%" as it is.
#include <gtest/gtest.h>

#include <string>

#include "drv_cdrvguitext.h"

namespace {

TEST(GuiFillTemplate, FirstPlaceholderOnly) {
  struct Case {
    const char* szTemplate;
    const char* szText;
    const char* szWant;
  };
  const Case acase[] = {
      {"%s Settings", "PEMRA mapleB Scanner", "PEMRA mapleB Scanner Settings"},
      {"%s%s", "a", "a%s"},
      {"%n at %s: 100%% %d", "x", "%n at x: 100%% %d"},
      {"no placeholder", "x", "no placeholder"},
      {"%s", "%s%n", "%s%n"},
      {"https://s.test/%s/", nullptr, "https://s.test//"},
      {nullptr, "x", ""},
      {"", "x", ""},
  };
  for (const Case& c : acase) EXPECT_EQ(DrvGuiFillTemplate(c.szTemplate, c.szText), c.szWant) << c.szWant;
}

}  // namespace
