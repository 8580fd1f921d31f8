// The device-reply dispatcher: reads a device-manager reply against the
// reply grammar, lets the report object of each report element write what
// it reports into the walk's target, and answers the code of the reply's
// status word. The output engine reads the status alone.
//
// One mutex serialises the walks: the engines and the report objects are
// shared by every thread that dispatches a reply. A walk into the database
// takes the database-wide lock first (db_cdblock.h: the dispatcher's mutex
// comes after it); a walk into a log record or into nothing takes only the
// mutex.
#pragma once

#include <mutex>

#include "dev_def.h"
#include "dp_creportcartridgedetected.h"
#include "dp_creportconfig.h"
#include "dp_creportdiagnostic.h"
#include "dp_creportentries.h"
#include "dp_creportinquiry.h"
#include "dp_creportinterfaceopen.h"
#include "dp_creportlog.h"
#include "dp_creportlookup.h"
#include "dp_creportmessage.h"
#include "dp_creports.h"
#include "dp_creportstatus.h"
#include "dp_creportversion.h"
#include "dp_csetcontext.h"
#include "dp_ctask.h"
#include "dp_target.h"
#include "os_cosxml.h"

class CDispatch {
 public:
  // Points at the grammars; loads nothing.
  CDispatch();
  ~CDispatch();
  CDispatch(const CDispatch&) = delete;
  CDispatch& operator=(const CDispatch&) = delete;

  // Register the report objects under their element names and load the
  // grammar; the first failure is logged and returned.
  EOSSTS SetupDispatchTemplate();
  EOSSTS SetupDispatchOutput();
  void FreeDispatchTemplate();
  void FreeDispatchOutput();

  // The code of the reply's status word; 1 for a null reply, one that cannot
  // be read or walked, and one without a status word the table knows.
  // interfaceopen and the unit tell the inquiry report what it reads.
  EDEVREPLY Process(const char* a_szReply, const DevDispatchTarget& a_devdispatchtarget, bool a_blInterfaceOpen,
                    EDBID_FIRMWARE a_edbidfirmware);
  // The same with the output grammar: only the status is read.
  EDEVREPLY ProcessOutput(const char* a_szReply, const DevDispatchTarget& a_devdispatchtarget);
  // The status codes of the last walk of each engine.
  EDEVREPLY GetStatus();
  EDEVREPLY GetOutputStatus();

  // Whether this thread is inside a walk: what a reply writes into the
  // database comes from the scanner and must not be sent back to it (a
  // send from inside a walk would wait for the walk's own mutex).
  static bool IsWalking();

  static const char s_szReplyGrammar[];
  static const char s_szOutputGrammar[];
  // Tests: the reply grammar of dispatchers made afterwards; null restores
  // the built-in one.
  static void SetReplyGrammarSeam(const char* a_szGrammar);

 private:
  struct Registration;
  EOSSTS Setup(COsXml& a_osxml, const Registration* a_pregistration, size_t a_sizetRegistrations,
               const char* a_szGrammar);
  EDEVREPLY Walk(COsXml& a_osxml, CReportStatus& a_reportstatus, const char* a_szReply,
                 const DevDispatchTarget& a_devdispatchtarget);

  const char* m_szReplyGrammar;
  const char* m_szOutputGrammar;
  COsXml m_osxmlTemplate;
  COsXml m_osxmlOutput;
  CTask m_task;
  CReportCalibrate m_reportcalibrate;
  CReportCalibrateEnd m_reportcalibrateend;
  CReportCartridgeDetected m_reportcartridgedetected;
  CReportCommands m_reportcommands;
  CReportConfig m_reportconfig;
  CReportDebugLog m_reportdebuglog;
  CReportDiagnostic m_reportdiagnostic;
  CReportEnum m_reportenum;
  CReportInquiry m_reportinquiry;
  CReportInterfaceOpen m_reportinterfaceopen;
  CReportLampStatus m_reportlampstatus;
  CReportLog m_reportlog;
  CReportOcpButton m_reportocpbutton;
  CReportMessage m_reportmessage;
  CReportRange m_reportrange;
  CReportScanEnd m_reportscanend;
  CReportSimulationFlatbed m_reportsimulationflatbed;
  CReportStatus m_reportstatus;
  CReportString m_reportstring;
  CReportVersion m_reportversion;
  CReportVersionUser m_reportversionuser;
  CSetContext m_setcontext;
  CReportStatus m_reportstatusOutput;
  CReportResource m_reportresource;
  CReportSetupEnd m_reportsetupend;
  std::mutex m_mutex;
};
