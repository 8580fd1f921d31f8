// The driver's own configuration values (sections "dsIdentity" 1001 and
// "Images" 1002, tags 1001 to 1021), read by tag. Once the driver registers
// its tables with the configuration store, a value comes from the store
// (built-in default, ini files, environment); until then, and for a value
// the store holds empty, the default of the table below is answered.
#pragma once

enum EDRVCFGTAG : unsigned {
  DRV_CFGTAG_FORCEUNITS = 1001,
  DRV_CFGTAG_FORCEMETERSREAL = 1002,
  DRV_CFGTAG_FORCEOPENTIMEOUT = 1003,
  DRV_CFGTAG_FORCEGUIDELAY = 1004,
  DRV_CFGTAG_FORCEPROFILERESETALL = 1005,
  DRV_CFGTAG_FORCEGUIBOUNCE = 1006,
  DRV_CFGTAG_FORCEDRVASSISTUIBOUNCE = 1007,
  DRV_CFGTAG_FORCEGUIMSGDELAY = 1008,
  DRV_CFGTAG_FORCEINDICATORSWARMUP = 1009,
  DRV_CFGTAG_FORCEINDICATORS = 1010,
  DRV_CFGTAG_FORCENEXILUSEIMAGEEND = 1011,
  DRV_CFGTAG_FORCEIMAGECACHESIZE200 = 1012,
  DRV_CFGTAG_FORCEIMAGECACHESIZE300 = 1013,
  DRV_CFGTAG_FORCEINDICATORSWARMUPNOFIX = 1014,
  // A tag of its own: on the open time-out's tag, setting that time-out
  // switched the scan history off.
  DRV_CFGTAG_FORCEHISTORYOFF = 1015,
  DRV_CFGTAG_FORCEDRIVERASSISTANTBOUNCE = 1016,
  DRV_CFGTAG_FORCETWAINGUI = 1017,
  DRV_CFGTAG_FORCEDRVASSISTUI = 1018,
  DRV_CFGTAG_FORCESHOWDRIVERASSISTANT = 1019,
  DRV_CFGTAG_DEVSAVE = 1020,
  DRV_CFGTAG_APPSAVE = 1021,
};

enum EDRVCFGSECTION : unsigned {
  DRV_CFGSECTION_DSIDENTITY = 1001,
  DRV_CFGSECTION_IMAGES = 1002,
};

// One row of the driver's values: its tag, name, section and default.
struct DrvCfgValue {
  EDRVCFGTAG edrvcfgtag;
  const char* szName;
  EDRVCFGSECTION edrvcfgsection;
  const char* szDefault;
};

// Every value, in tag order.
constexpr unsigned DRV_CFG_VALUES = 21;
extern const DrvCfgValue g_adrvcfgvalue[DRV_CFG_VALUES];
extern const unsigned g_uDrvCfgValues;

// The value's text: the store's when it holds one, else the default; ""
// for a tag outside the table (logged). Never null.
const char* DevDriverConfigGet(EDRVCFGTAG a_edrvcfgtag);
// The value read as a number in any C base (0x.., 0..); an empty value
// reads as 0.
long DevDriverConfigGetLong(EDRVCFGTAG a_edrvcfgtag);
