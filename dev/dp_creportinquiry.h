// The reportinquiry report: the scanner's inquiry, kept by the model
// configuration for the unit and the kind of task the dispatcher names
// before each walk; the configuration reads it once the scanner is open.
#pragma once

#include "db_def.h"
#include "dp_handlers.h"

class CReportInquiry {
 public:
  DP_HANDLERS_CREPORTINQUIRY(DP_DECLARE_TRAMPOLINE)
  // A configuration that refuses the inquiry fails the reply.
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);

  void SetInterfaceopen(bool a_blInterfaceOpen) { m_blInterfaceOpen = a_blInterfaceOpen; }
  void SetFirmware(EDBID_FIRMWARE a_edbidfirmware) { m_edbidfirmware = a_edbidfirmware; }
  bool GetInterfaceopen() const { return m_blInterfaceOpen; }
  EDBID_FIRMWARE GetFirmware() const { return m_edbidfirmware; }

 private:
  bool m_blInterfaceOpen = false;
  EDBID_FIRMWARE m_edbidfirmware = DB_FIRMWARE_ADF;
};
