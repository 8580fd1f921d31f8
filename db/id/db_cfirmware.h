// The scanner unit the firmware settings address (FIRMWARE 95: 1 adf, 2
// flatbed): the feeder alone on a model without a flatbed, the flatbed first
// on a model with one of its own.
#pragma once

#include "db_cdbenum.h"

class CFIRMWARE : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

static_assert(sizeof(CFIRMWARE) == sizeof(CDbEnum));
