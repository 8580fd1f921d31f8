// The capability classes, one per capability with rules of its own: C plus
// the capability's name, derived from its container. They add nothing to
// their container yet; when a class gets its rules it moves to a unit of its
// own in db/id/ (or joins the unit of its family) and its declaration here
// gives way to that unit's header.
// Capabilities without rules have no class: their objects are the container.
#pragma once

#include "db_catalogue_rows.h"
#include "db_cbarcode.h"
#include "db_cautocolor.h"
#include "db_cbackground.h"
#include "db_cblankpage.h"
#include "db_ccalibration.h"
#include "db_ccameras.h"
#include "db_ccolorbalance.h"
#include "db_ccolortable.h"
#include "db_ccompression.h"
#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"
#include "db_cdeskew.h"
#include "db_cdevice.h"
#include "db_cdiagnostics.h"
#include "db_cecdo.h"
#include "db_cecdocustom.h"
#include "db_cecdooptions.h"
#include "db_cedgefill.h"
#include "db_cedgesides.h"
#include "db_coutputformat.h"
#include "db_cfirmware.h"
#include "db_cframe.h"
#include "db_cimagemodes.h"
#include "db_cimageoptions.h"
#include "db_cindexing.h"
#include "db_cindicators.h"
#include "db_clanguage.h"
#include "db_cmagnification.h"
#include "db_cmeters.h"
#include "db_cprinter.h"
#include "db_ctransport.h"
#include "db_cwindows.h"

#define DB_CAPABILITY_CLASS_OWN(NAME, CONTAINER) \
  class C##NAME : public CONTAINER {};
#define DB_CAPABILITY_CLASS_UNIT(NAME, CONTAINER)
#define DB_CAPABILITY_CLASS_NONE(NAME, CONTAINER)
#define DB_CAPABILITY_CLASS(NAME, CONTAINER, LEVEL, RULES) DB_CAPABILITY_CLASS_##RULES(NAME, CONTAINER)

DB_CATALOGUE_ROWS(DB_CAPABILITY_CLASS)

#undef DB_CAPABILITY_CLASS
#undef DB_CAPABILITY_CLASS_NONE
#undef DB_CAPABILITY_CLASS_UNIT
#undef DB_CAPABILITY_CLASS_OWN
