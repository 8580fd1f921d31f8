// The profile document of a group: the root "profile", its "header" and its
// "database" part, one "d" element per capability the group holds, in
// ascending id order, each with its machine value ("m"), its cameras'
// values ("fb00" ... "rc10") or, for the window tags and the barcode types,
// their lists ("enum" of "v"). The shared-values document holds the shared
// values that differ from their defaults. A text that no element can hold
// (dbprofile::AddText) fails the document.
#include <cstdio>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "db_cdbprofileitem.h"
#include "db_profiledocument.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_coslog.h"
#include "os_costime.h"
#include "os_cosxmltask.h"

namespace {

// Which header a group's document carries.
enum EHEADER : int {
  HEADER_SAVE,   // the item's name and id, its flags, picture and texts
  HEADER_ALL,    // a name and id made from the time, the flags and picture
  HEADER_SHARE,  // the shared values' fixed name and the item's id
  HEADER_SHORT,  // a name and id made from the time
};

struct GroupRow {
  const char* szName;
  uint64_t u64Mask;
  EHEADER eheader;
};
constexpr GroupRow s_agrouprow[] = {
    {"profilenormalsave", 0x21ffff, HEADER_SAVE},   {"profileall", 0x21ffff, HEADER_ALL},
    {"profileshare", 0x800000, HEADER_SHARE},       {"profileiaprinter", 0x36, HEADER_SHORT},
    {"profilenoiaprinter", 0x21ffc9, HEADER_SHORT},
};
constexpr GroupRow s_grouprowOther = {"", 0x21ffff, HEADER_ALL};

constexpr char s_szDriverVersion[] = "01000000";
constexpr char s_szShareName[] = "-*- profile share -*-";
// The shared values' order in their document, by slot.
constexpr int s_aiShareOrder[] = {3, 6, 4, 5, 0, 2, 1};
static_assert(sizeof s_aiShareOrder / sizeof s_aiShareOrder[0] == CDbProfileItem::s_iShareSlots);
// A switch of the shared values at this value ("true"): profiles keep
// their own.
constexpr long s_lOwnValues = 2;
static_assert(DB_ID_ADFUNIQUE_ENUM_TRUE == s_lOwnValues && DB_ID_LOWPOWERMODEUNIQUE_ENUM_TRUE == s_lOwnValues);
constexpr int s_iDepthDatabase = 1;
constexpr int s_iDepthCapability = 2;
constexpr int s_iDepthValue = 3;

const GroupRow& FindGroup(const char* a_szGroup) {
  for (const GroupRow& grouprow : s_agrouprow) {
    if (std::strcmp(grouprow.szName, a_szGroup) == 0) return grouprow;
  }
  OsLog(OS_LOG_ERROR, "unrecognized group...<%s>", a_szGroup);
  return s_grouprowOther;
}

enum EVALUE : int {
  VALUE_TEXT,
  VALUE_NONE,          // no text to write: the element is left out
  VALUE_BADCONTAINER,  // the document fails
};

// The text of a datum's value in force: an enumeration's value name, a
// range's number, a string (the multifeed sound's file name alone).
EVALUE ValueText(CDatabase* a_pdatabase, CDbDatum* a_pdbdatum, char* a_szText, size_t a_sizetText, bool* a_pblCdata) {
  *a_pblCdata = false;
  switch (a_pdbdatum->GetContainerType()) {
    case DB_CONTAINERTYPE_RANGE:
      std::snprintf(a_szText, a_sizetText, "%ld", a_pdatabase->GetCurrentLong(a_pdbdatum));
      return VALUE_TEXT;
    case DB_CONTAINERTYPE_ENUM: {
      const long lValue = a_pdatabase->GetCurrentLong(a_pdbdatum);
      const DbLookupEnum* pdblookupenum = a_pdatabase->LookupDbEnum(a_pdbdatum->GetLookup(), lValue);
      if (!pdblookupenum || !pdblookupenum->szLexiconEnum || !pdblookupenum->szLexiconEnum[0]) {
        OsLog(OS_LOG_ERROR, "Generate: value without a name, left out...%d %d %ld", a_pdbdatum->GetId(),
              a_pdbdatum->GetBin(), lValue);
        return VALUE_NONE;
      }
      std::snprintf(a_szText, a_sizetText, "%s", pdblookupenum->szLexiconEnum);
      return VALUE_TEXT;
    }
    case DB_CONTAINERTYPE_STRING: {
      const char* szText = a_pdatabase->GetCurrentString(a_pdbdatum);
      if (!szText) szText = "";
      if (a_pdbdatum->GetId() == DB_ID_MULTIFEEDSOUND) szText = dbprofile::FileNamePart(szText);
      std::snprintf(a_szText, a_sizetText, "%s", szText);
      *a_pblCdata = true;
      return VALUE_TEXT;
    }
    default: OsLog(OS_LOG_ERROR, "unrecognized container...%d", a_pdbdatum->GetId()); return VALUE_BADCONTAINER;
  }
}

// An "enum" element holding the current list's value names; a value
// without a name is left out (logged).
void AddList(CDatabase* a_pdatabase, CDbDatum* a_pdbdatum, int a_iDepth, COsXmlTask* a_posxmltask) {
  a_posxmltask->StartCommand("enum", a_iDepth);
  const long lCount = a_pdatabase->EnumGetCurrentItemCount(a_pdbdatum);
  for (long l = 0; l < lCount; ++l) {
    const long lValue = a_pdatabase->EnumGetCurrentItem(a_pdbdatum, l);
    const DbLookupEnum* pdblookupenum = a_pdatabase->LookupDbEnum(a_pdbdatum->GetLookup(), lValue);
    if (pdblookupenum && pdblookupenum->szLexiconEnum && pdblookupenum->szLexiconEnum[0]) {
      a_posxmltask->AddArgument("v", pdblookupenum->szLexiconEnum);
    } else {
      OsLog(OS_LOG_ERROR, "Generate: value without a name, left out...%d %d %ld", a_pdbdatum->GetId(),
            a_pdbdatum->GetBin(), lValue);
    }
  }
  a_posxmltask->FinalizeCommand("enum");
}

void StartCapability(const char* a_szLexicon, COsXmlTask* a_posxmltask) {
  char szTag[128];
  std::snprintf(szTag, sizeof szTag, "d i='%s'", a_szLexicon);
  a_posxmltask->StartCommand(szTag, s_iDepthCapability);
}

}  // namespace

EOSSTS CDbProfileItem::Generate(const char* a_szGroup, COsXmlTask* a_posxmltask) {
  if (!a_posxmltask || !m_pdatabase) {
    OsLog(OS_LOG_ERROR, "Generate: no builder or database...");
    return OS_STS_FAIL;
  }
  const char* szGroup = a_szGroup ? a_szGroup : "";
  const GroupRow& grouprow = FindGroup(szGroup);
  a_posxmltask->Clear();
  a_posxmltask->StartNonTask("profile", 0);
  EOSSTS eossts = GenerateHeader(szGroup, grouprow.eheader, a_posxmltask);
  a_posxmltask->StartCommand("database", s_iDepthDatabase);
  if (eossts == OS_STS_SUCCESS) {
    eossts = grouprow.eheader == HEADER_SHARE ? GenerateShare(a_posxmltask)
                                              : GenerateDatabase(grouprow.u64Mask, a_posxmltask);
  }
  a_posxmltask->FinalizeCommand("database");
  a_posxmltask->FinalizeNonTask("profile");
  if (eossts == OS_STS_SUCCESS && a_posxmltask->IsError(false)) {
    OsLog(OS_LOG_ERROR, "Generate: the document could not be built...<%s>", szGroup);
    eossts = OS_STS_FAIL;
  }
  if (eossts == OS_STS_SUCCESS) {
    const char* szText = a_posxmltask->GetTaskBuffer();
    DumpProfile("Generate", szText, std::strlen(szText));
  }
  return eossts;
}

EOSSTS CDbProfileItem::GenerateHeader(const char* a_szGroup, int a_iHeader, COsXmlTask* a_posxmltask) {
  OsTimeRecord ostimerecord = {};
  char szTime[32] = {};
  COsTime::GetSystemTime(&ostimerecord);
  COsTime::GetStringTime(&ostimerecord, szTime, sizeof szTime);
  // A group name is a caller's id of a few hundred bytes at most: one longer
  // leaves a name cut short.
  char szName[1024];
  const char* szId = szName;
  const char* szProfileId = szTime;
  std::snprintf(szName, sizeof szName, "%s-%s", a_szGroup, szTime);
  if (a_iHeader == HEADER_SAVE) {
    szId = m_szName;
    szProfileId = m_szId;
  } else if (a_iHeader == HEADER_SHARE) {
    szId = s_szShareName;
    szProfileId = m_szId;
  }
  const char* szFamily = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY) : nullptr;
  const bool blFlags = a_iHeader == HEADER_SAVE || a_iHeader == HEADER_ALL;
  a_posxmltask->StartCommand("header", 1);
  bool blWritten = dbprofile::AddText(a_posxmltask, "id", szId, true) &&
                   dbprofile::AddText(a_posxmltask, "driverversion", s_szDriverVersion, false) &&
                   dbprofile::AddText(a_posxmltask, "family", szFamily ? szFamily : "", false) &&
                   dbprofile::AddText(a_posxmltask, "group", a_szGroup, false);
  if (blWritten && blFlags) {
    a_posxmltask->AddArgument("readonly", m_blIsProfileReadonly ? "true" : "false");
    a_posxmltask->AddArgument("hidden", m_blIsProfileHidden ? "true" : "false");
  }
  blWritten = blWritten && dbprofile::AddText(a_posxmltask, "profileid", szProfileId, false);
  if (blWritten && blFlags)
    blWritten = dbprofile::AddText(a_posxmltask, "graphicfilename", dbprofile::FileNamePart(m_szGraphicFilename), true);
  for (long l = 0; blWritten && a_iHeader == HEADER_SAVE && m_plocale && l < s_lLocales; ++l) {
    if (m_plocale[l].szName[0])
      blWritten = dbprofile::AddText(a_posxmltask, m_plocale[l].szName, m_plocale[l].szText, true);
  }
  a_posxmltask->FinalizeCommand("header");
  return blWritten ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// Every capability the database supports, that has a lexicon and whose
// group bits meet the mask, in ascending id order.
EOSSTS CDbProfileItem::GenerateDatabase(uint64_t a_u64Mask, COsXmlTask* a_posxmltask) {
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    const EDBID edbid = static_cast<EDBID>(iId);
    const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(edbid);
    if (!pdblookup2 || !pdblookup2->szLexicon || !pdblookup2->szLexicon[0] || !(pdblookup2->lTwainGroup & a_u64Mask) ||
        !m_pdatabase->IsIdSupported(edbid))
      continue;
    if (GenerateCapability(edbid, pdblookup2->szLexicon, a_posxmltask) != OS_STS_SUCCESS) return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// The shared values belong to "profile.share" while their switch is off:
// only a profile that keeps its own has them.
bool CDbProfileItem::IsKeptShared(EDBID a_edbid) {
  const int iSlot = dbprofile::ShareSlotOf(a_edbid);
  if (iSlot < 0 || a_edbid == DB_ID_TRANSPORTTIMEOUT) return false;
  const EDBID edbidSwitch = dbprofile::s_ashareslot[iSlot].edbidSwitch;
  return dbprofile::MachineValue(m_pdatabase, edbidSwitch) != s_lOwnValues;
}

EOSSTS CDbProfileItem::GenerateCapability(EDBID a_edbid, const char* a_szLexicon, COsXmlTask* a_posxmltask) {
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid);
  if (!pdbdatum) return GenerateCameras(a_edbid, a_szLexicon, a_posxmltask);
  if (!dbprofile::IsUsable(pdbdatum) || IsKeptShared(a_edbid)) return OS_STS_SUCCESS;
  if (a_edbid == DB_ID_WINDOWBIN) {
    StartCapability(a_szLexicon, a_posxmltask);
    AddList(m_pdatabase, pdbdatum, s_iDepthValue, a_posxmltask);
    a_posxmltask->FinalizeCommand("d");
    return OS_STS_SUCCESS;
  }
  char szText[DB_STRING_SIZE];
  bool blCdata = false;
  const EVALUE evalue = ValueText(m_pdatabase, pdbdatum, szText, sizeof szText, &blCdata);
  if (evalue != VALUE_TEXT) return evalue == VALUE_NONE ? OS_STS_SUCCESS : OS_STS_FAIL;
  StartCapability(a_szLexicon, a_posxmltask);
  const bool blWritten = dbprofile::AddText(a_posxmltask, "m", szText, blCdata);
  a_posxmltask->FinalizeCommand("d");
  return blWritten ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// One element per window in use and camera that has the capability; the
// "d" element only when there is one.
EOSSTS CDbProfileItem::GenerateCameras(EDBID a_edbid, const char* a_szLexicon, COsXmlTask* a_posxmltask) {
  const int iWindows = dbprofile::WindowsInUse(m_pdatabase);
  bool blOpen = false;
  EOSSTS eossts = OS_STS_SUCCESS;
  for (int iWindow = 0; iWindow < iWindows && eossts == OS_STS_SUCCESS; ++iWindow) {
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR && eossts == OS_STS_SUCCESS; ++iBin) {
      CDbDatum* pdbdatum = dbprofile::DatumAt(iWindow, a_edbid, static_cast<EDBBIN>(iBin));
      char szTag[16];
      if (!dbprofile::IsUsable(pdbdatum) ||
          !dbprofile::CameraElement(iWindow, static_cast<EDBBIN>(iBin), szTag, sizeof szTag))
        continue;
      char szText[DB_STRING_SIZE];
      bool blCdata = false;
      const EVALUE evalue =
          a_edbid == DB_ID_BARCODETYPE ? VALUE_TEXT : ValueText(m_pdatabase, pdbdatum, szText, sizeof szText, &blCdata);
      if (evalue == VALUE_BADCONTAINER) eossts = OS_STS_FAIL;
      if (evalue != VALUE_TEXT) continue;
      if (!blOpen) StartCapability(a_szLexicon, a_posxmltask);
      blOpen = true;
      if (a_edbid == DB_ID_BARCODETYPE) {
        a_posxmltask->StartCommand(szTag, s_iDepthValue);
        AddList(m_pdatabase, pdbdatum, s_iDepthValue + 1, a_posxmltask);
        a_posxmltask->FinalizeCommand(szTag);
      } else if (!dbprofile::AddText(a_posxmltask, szTag, szText, blCdata)) {
        eossts = OS_STS_FAIL;
      }
    }
  }
  if (blOpen) a_posxmltask->FinalizeCommand("d");
  return eossts;
}

// The shared values that differ from their capability's default, each as a
// "d" element with one "m".
EOSSTS CDbProfileItem::GenerateShare(COsXmlTask* a_posxmltask) {
  if (!m_pi64Share) return OS_STS_SUCCESS;
  for (int iSlot : s_aiShareOrder) {
    const dbprofile::ShareSlot& shareslot = dbprofile::s_ashareslot[iSlot];
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, shareslot.edbid);
    const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(shareslot.edbid);
    if (!pdbdatum || !pdblookup2 || !pdblookup2->szLexicon || !pdblookup2->szLexicon[0] ||
        !m_pdatabase->IsIdSupported(shareslot.edbid) || m_pi64Share[iSlot] == m_pdatabase->GetDefaultLong(pdbdatum))
      continue;
    const long lValue = static_cast<long>(m_pi64Share[iSlot]);
    char szText[64];
    std::snprintf(szText, sizeof szText, "%ld", lValue);
    if (!shareslot.blNumber) {
      const DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(pdbdatum->GetLookup(), lValue);
      if (!pdblookupenum || !pdblookupenum->szLexiconEnum || !pdblookupenum->szLexiconEnum[0]) {
        OsLog(OS_LOG_ERROR, "Generate: value without a name, left out...%d %d %ld", shareslot.edbid, DB_BIN_MACHINE,
              lValue);
        continue;
      }
      std::snprintf(szText, sizeof szText, "%s", pdblookupenum->szLexiconEnum);
    }
    StartCapability(pdblookup2->szLexicon, a_posxmltask);
    a_posxmltask->AddArgument("m", szText);
    a_posxmltask->FinalizeCommand("d");
  }
  return OS_STS_SUCCESS;
}
