// The reply parser of the image library: reads the status word of a reply
// into a device status and, when the reply is parsed with the database,
// stores the messages, the setup-end report and the report inquiry it
// carries there. Replies of the scan-time tasks are parsed without the
// database, so that they never write it.
#pragma once

#include <cstddef>

#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class COsXml;
struct OsXmlCallback;

class CReportImage {
 public:
  explicit CReportImage(CDatabase* a_pdatabase);
  ~CReportImage();
  CReportImage(const CReportImage&) = delete;
  CReportImage& operator=(const CReportImage&) = delete;

  // Walks the reply of the unit, with the database (a_blDatabase) or
  // without. 1 for an empty reply ("Xml task is empty") and
  // for a reply that carries no status word (or is no task); else the
  // walk's result: 0, or what the status word's handler answered (6 end of
  // output, 2 no memory, 15 custom-dropout learning failed, 1 any word not
  // known), or the reader's error.
  EOSSTS Process(const char* a_szReply, EDBID_FIRMWARE a_edbidfirmware, bool a_blDatabase);
  // The reply's status word through s_amapstatus, also stored as the
  // status; 1 (logged) for a word not in it.
  EDEVSTS ProcessStatus(const char* a_szReply);
  // The text of the reply's first status element into the buffer; empty
  // without one (or for a null reply).
  static void StatusWord(const char* a_szReply, char* a_szWord, size_t a_sizetWord);
  // The device status of the last reply.
  EDEVSTS GetStatus() const { return m_edevsts; }

  // The grammar's handlers, reached by name through the reader.
  static EOSSTS CReportImage_EnterTask(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CReportImage_ExitTask(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CReportImage_EnterTaskReportstatusStatus(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CReportImage_EnterTaskReportmessage(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CReportImage_EnterTaskReportsetupend(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CReportImage_EnterTaskReportinquiry(OsXmlCallback* a_posxmlcallback);

  // A status word and the device status it stands for.
  struct DevMapStatus {
    const char* szStatus;
    EDEVSTS edevsts;
  };
  static const DevMapStatus s_amapstatus[5];

 private:
  EOSSTS EnterTask();
  EOSSTS ExitTask(CDatabase* a_pdatabase);
  EOSSTS EnterTaskReportstatusStatus(const char* a_szStatus);
  EOSSTS StoreData(CDatabase* a_pdatabase, const char* a_szText, const char* a_szElement);
  EOSSTS EnterTaskReportinquiry(CDatabase* a_pdatabase, const char* a_szText);

  CDatabase* m_pdatabase;  // the database replies are parsed with
  COsXml* m_posxml = nullptr;  // with the reply grammar, null when it could not be made
  EDBID_FIRMWARE m_edbidfirmware = DB_FIRMWARE_ADF;
  EDEVSTS m_edevsts = DEV_STS_FAIL;
  bool m_blStatusSeen = false;
};
