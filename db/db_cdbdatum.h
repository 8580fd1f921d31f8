// One capability value (a datum): the setting of one capability in one bin
// of one scan window, with its value generations, access, consumers, lookup
// record and callbacks. The class also owns the process-wide datum table
// (the shared block) through its static operations.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class CDbDatum;
class CDbNotify;
class COsXmlTask;
struct DbLookup2;

// Table dimensions: windows 0..10, ids 0..253, bins 0..5.
constexpr int DB_WINDOW_COUNT = 11;
constexpr int DB_ID_COUNT = 254;
constexpr int DB_BIN_COUNT = 6;
// Size of every text buffer of a string datum, terminator included.
constexpr size_t DB_STRING_SIZE = 1024;
// Capability ids the datum layer itself reads.
constexpr int DB_ID_FIRST = 1;
constexpr int DB_ID_FINAL = 252;
// Statuses of the value operations.
constexpr EOSSTS DB_EOSSTS_LISTFULL = OS_STS_NOROOM_BUFFER;      // 2
constexpr EOSSTS DB_EOSSTS_REFUSED = OS_STS_BUSY;                // 4
constexpr EOSSTS DB_EOSSTS_BADARGUMENT = OS_STS_BAD_ARGUMENT_SYNC;  // 13
constexpr EOSSTS DB_EOSSTS_NOTMODIFIABLE = OS_STS_NO_ROOM;       // 14
// TWAIN group bits of the capabilities that a settings profile holds.
constexpr uint64_t DB_GROUP_PROFILE = 0x21FFFF;

// The shared block: every datum of the process and the objects they share.
struct DbDatumCommon {
  CDbDatum* apdbdatum[DB_WINDOW_COUNT][DB_ID_COUNT][DB_BIN_COUNT];
  CDatabase* pdatabase;
  CDbNotify* pdbnotify;
  CDbDatum* pdbdatumBlank;
  int64_t lState;  // changed atomically (std::atomic_ref): read and written from any thread
  COsXmlTask* posxmltask;
  CDbDatum* pdbdatumModified;
  int64_t lWindowCount;
};

// A callback receives the address of this record, which lives on the
// caller's stack for the time of the call.
typedef EOSSTS (*PFNDBCALLBACK)(void* a_pvDbCallbackRecord);
struct DbCallbackRecord {
  CDbDatum* pdbdatum;
  CDatabase* pdatabase;
  void* pvUser;
};

class CDbDatum {
 public:
  CDbDatum();
  CDbDatum(EDBID a_edbid, EDBBIN a_edbbin);
  CDbDatum(EDBID a_edbid, EDBBIN a_edbbin, CDbDatum* a_pdbdatum);
  // A per-window datum: takes the identity of its window-0 master.
  CDbDatum(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin);
  virtual ~CDbDatum();
  CDbDatum(const CDbDatum&) = delete;
  CDbDatum& operator=(const CDbDatum&) = delete;

  // Containers answer whether a value set on another datum would differ.
  virtual bool Compare(long a_lA, long a_lB);

  // Registration and initialisation.
  void InitCDbDatum(EDBID a_edbid, EDBBIN a_edbbin, CDbDatum* a_pdbdatum);
  static void InitStatic(bool a_blFirstPass);
  void InitDatumLong(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                     long a_lCurrent, long a_lDefault);
  EOSSTS InitDatumString(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                         size_t a_sizetMaxString, char* a_szCurrent, char* a_szDefault, char* a_szRestore,
                         char* a_szPrevious, char* a_szProfile);
  static void Shutdown();

  // Look-ups and walks over the table.
  static CDbDatum* DbDatumFind(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin);
  static CDbDatum* DbDatumFindQuick(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin);
  static CDbDatum* DbDatumFindFirst();
  static CDbDatum* DbDatumFindNext(CDbDatum* a_pdbdatum);
  static CDbDatum* DbDatumFindFirstIgnoreAccess();
  static CDbDatum* DbDatumFindNextIgnoreAccess(CDbDatum* a_pdbdatum);
  static CDbDatum* DbDatumFindFirstInBin(EDBBIN a_edbbin);
  static CDbDatum* DbDatumFindNextInBin(CDbDatum* a_pdbdatum);

  // Identity; the catalogue sets id, bin and name after registration.
  EDBID_WINDOW GetWindow() const { return m_edbidwindow; }
  EDBID GetId() const { return m_edbid; }
  EDBBIN GetBin() const { return m_edbbin; }
  const char* GetName() const { return m_szName; }
  EDBDATATYPE GetDataType() const { return m_edbdatatype; }
  EDBCONTAINERTYPE GetContainerType() const { return m_edbcontainertype; }
  // The container class this object was constructed as (0 for a plain
  // datum, such as a per-window copy that carries its master's type): lets
  // the pass reach a container without a dynamic_cast per datum.
  EDBCONTAINERTYPE GetObjectContainerType() const { return m_edbcontainertypeObject; }
  void SetId(EDBID a_edbid) { m_edbid = a_edbid; }
  void SetBin(EDBBIN a_edbbin) { m_edbbin = a_edbbin; }
  void SetName(const char* a_szName) { m_szName = a_szName; }
  DbLookup2* GetLookup() const { return m_pdblookup2; }
  void SetLookup(DbLookup2* a_pdblookup2) { m_pdblookup2 = a_pdblookup2; }

  // Access and consumers. A copy without access of its own has its
  // master's; the rest is answered here, since the pass and the rules ask it
  // of every datum they reach.
  EDBACCESS GetAccess() {
    if (m_edbaccess != DB_ACCESS_NOTSUPPORTED || m_edbidwindow == 0 || !ms_pdatumcommon) return m_edbaccess;
    return GetMasterAccess();
  }
  EDBACCESS SetAccess(EDBACCESS a_edbaccess);
  bool IsModifiable();
  EDBDEVICEDATA GetDeviceData();
  static EDBBIN GetBinOtherSide(EDBBIN a_edbbin);
  static EDBBIN GetBinSameSide(EDBBIN a_edbbin);

  // Long values.
  long GetCurrentLong();
  long GetCurrentLongNoCallback();
  long GetRestoreLong();
  long GetPreviousLong();
  long GetProfileLong();
  // The profile code's copy of the value.
  void SetProfileLong(long a_lProfile);
  long GetDefaultLong();
  void SetDefaultLong(long a_lDefault);
  EOSSTS SetCurrentLong(long a_lCurrent);
  EOSSTS ForceCurrentLong(long a_lCurrent);
  long CopyCurrentLong(long a_lCurrent);
  void FixDefaultResetLong(long a_lCurrent);

  // String values.
  char* GetCurrentString();
  char* GetCurrentStringNoCallback();
  char* GetDefaultString();
  char* GetPreviousString();
  char* GetProfilesString();
  size_t GetSizetMaxString();
  EOSSTS SetSizetMaxString(size_t a_sizetMaxString);
  EOSSTS SetDefaultString(const char* a_szDefault);
  EOSSTS SetCurrentString(const char* a_szCurrent);
  EOSSTS ForceCurrentString(const char* a_szCurrent);
  void CopyCurrentString(const char* a_szCurrent);
  void FixDefaultResetString(const char* a_szCurrent);
  EOSSTS UpdateProfilesString();

  // Undo point, device values and loading.
  void Remember();
  void Restore();
  bool CompareCurrentWithRestoreValue();
  void DeviceUpdate();
  void Load();

  EOSSTS RegisterCallback(EDBCALLBACK a_edbcallback, PFNDBCALLBACK a_pfndbcallback, void* a_pvUser);

  // State bits and the modified marker.
  static void SetDbState(EDBSTATE a_edbstate);
  static void ClearDbState(EDBSTATE a_edbstate);
  // Any bit of the word may be tested; one outside it is clear.
  static bool TestDbState(EDBSTATE a_edbstate) {
    if (!ms_pdatumcommon || a_edbstate < 0 || a_edbstate > 63) return false;
    return (static_cast<uint64_t>(std::atomic_ref<int64_t>(ms_pdatumcommon->lState).load()) >> a_edbstate) & 1;
  }
  void SetModified();
  static void ClearModified();
  static CDbDatum* GetModified() { return ms_pdatumcommon ? ms_pdatumcommon->pdbdatumModified : nullptr; }
  bool WasModified();
  bool WasModifiedWindow();

  // The block's shared objects.
  static void SetDatabase(CDatabase* a_pdatabase);
  static CDatabase* GetDatabase() { return ms_pdatumcommon ? ms_pdatumcommon->pdatabase : nullptr; }
  static CDbNotify* GetDbNotify() { return ms_pdatumcommon ? ms_pdatumcommon->pdbnotify : nullptr; }
  static COsXmlTask* GetDbMakeXml();
  static long GetWindowMax() { return ms_pdatumcommon ? static_cast<long>(ms_pdatumcommon->lWindowCount) : 0; }
  // The number of windows in use (1..11; others are refused, logged), set
  // by the window rule from its list.
  static void SetWindowMax(long a_lWindows);

  // The characters of a text as the string limits count them: the multibyte
  // characters of the current locale; a text the locale cannot read (invalid
  // UTF-8, or any non-ASCII text under the "C" locale) counts its UTF-8
  // characters, each byte outside a sequence being one, so that it is never
  // taken for an empty text.
  static size_t CountCharacters(const char* a_szText);

  // Writes at most one argument into the block's device task.
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget, const char* a_szName = nullptr);
  // Drops the camera bins the scanner model does not have.
  EOSSTS FixDefault();

  // The shared block (allocated by the database) and its set-up switch.
  static DbDatumCommon* ms_pdatumcommon;
  static bool blFirstPass;

 protected:
  // Whether a text fits the datum: characters within the maximum, bytes
  // within the buffer. Logs the refusal with the caller's message.
  EOSSTS CheckText(const char* a_szText, const char* a_szTooLarge);
  // Whether a text may be stored as the current one: by default characters
  // within the maximum and bytes within the buffer. A rule that brings an
  // over-long text back within its maximum once stored may take more.
  virtual bool TextFits(const char* a_szText);
  // The access of the window-0 datum of this id and bin (this one's own
  // when it is that datum or there is none).
  EDBACCESS GetMasterAccess();
  void RunCallback(EDBCALLBACK a_edbcallback);
  void NotifySet(EDBNOTIFY a_edbnotify);
  void NotifyReset(EDBNOTIFY a_edbnotify);
  // Joins or leaves a notification set.
  void NotifyMark(EDBNOTIFY a_edbnotify, bool a_blJoin);
  // The side (other side) and image (other colour mode) comparisons of a store.
  void CompareAcrossBins(long a_lValue);
  // Whether any window in use holds, in that bin, a value the new one changes.
  bool DiffersInWindows(EDBBIN a_edbbin, long a_lValue);
  // Whether a consumer set and a target share a consumer group.
  static bool ConsumersMatch(EDBDEVICEDATA a_edbdevicedata, EDBDEVICEDATA a_edbdevicedataTarget);
  // One argument; with a_blMarkup a text holding markup goes into a CDATA
  // section, and one holding "]]>" is refused.
  static void WriteArgument(COsXmlTask* a_posxmltask, const char* a_szName, const char* a_szText, bool a_blMarkup);
  // The device task, when the lookup record names a lexicon to write under;
  // null (logged) otherwise.
  COsXmlTask* LexiconTask();
  bool IsLong();
  bool IsString();
  void StoreText(const char* a_szText);
  bool CopyText(const char* a_szText);

  EDBID_WINDOW m_edbidwindow;
  EDBID m_edbid;
  EDBBIN m_edbbin;
  const char* m_szName;
  EDBDATATYPE m_edbdatatype;
  EDBCONTAINERTYPE m_edbcontainertype;
  EDBCONTAINERTYPE m_edbcontainertypeObject;  // set only by the container constructors
  EDBDEVICEDATA m_edbdevicedata;
  EDBACCESS m_edbaccess;
  DbLookup2* m_pdblookup2;
  // Long datums.
  long m_lCurrent;
  long m_lDefault;
  long m_lRestore;
  long m_lPrevious;
  long m_lProfile;
  // String datums: the maximum in characters and the container's buffers.
  size_t m_sizetMaxString;
  char* m_szCurrent;
  char* m_szDefault;
  char* m_szRestore;
  char* m_szPrevious;
  char* m_szProfile;
  PFNDBCALLBACK m_apfndbcallback[5];
  void* m_apvCallbackUser[5];
};
