// A small language table for the compiler's tests.
#pragma once

enum EOSLANGUAGE : int {
  OS_LANGUAGE_NONE = 0,
  OS_LANGUAGE_EN_USA = 39,
  OS_LANGUAGE_DE_DEU = 65,
};
