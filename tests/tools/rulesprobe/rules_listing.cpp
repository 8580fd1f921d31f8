// The state, configuration and lookup listings of a database.
#include "rules_listing.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "db_cdblookup.h"
#include "db_cdbnotify.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"

namespace ruleslisting {
namespace {

// The raw fields of a datum, which its accessors answer from the window-0
// datum for a window copy.
struct DatumPeek : CDbDatum {
  static EDBACCESS Access(const CDbDatum& a_dbdatum) { return a_dbdatum.*(&DatumPeek::m_edbaccess); }
  static long Default(const CDbDatum& a_dbdatum) { return a_dbdatum.*(&DatumPeek::m_lDefault); }
  static long Previous(const CDbDatum& a_dbdatum) { return a_dbdatum.*(&DatumPeek::m_lPrevious); }
  static long Profile(const CDbDatum& a_dbdatum) { return a_dbdatum.*(&DatumPeek::m_lProfile); }
  // Current, default, previous and profile texts.
  static std::array<const char*, 4> Texts(const CDbDatum& a_dbdatum) {
    std::array<const char*, 4> asz = {a_dbdatum.*(&DatumPeek::m_szCurrent), a_dbdatum.*(&DatumPeek::m_szDefault),
                                      a_dbdatum.*(&DatumPeek::m_szPrevious), a_dbdatum.*(&DatumPeek::m_szProfile)};
    for (const char*& sz : asz) sz = sz ? sz : "";
    return asz;
  }
};

void Add(std::string& a_str, const char* a_szFormat, long a_l) {
  char sz[32];
  std::snprintf(sz, sizeof sz, a_szFormat, a_l);
  a_str += sz;
}

void Numbers(std::string& a_str, std::initializer_list<long> a_il) {
  for (long l : a_il) Add(a_str, " %ld", l);
}

void Items(std::string& a_str, long a_lCount, CDbEnum* a_pdbenum, long (CDbEnum::*a_pfnItem)(long)) {
  a_str += " :";
  for (long l = 0; l < a_lCount; ++l) Add(a_str, " %ld", (a_pdbenum->*a_pfnItem)(l));
}

void Datum(std::string& a_str, CDbDatum* a_pdbdatum, int a_iWindow, int a_iId, int a_iBin) {
  const long lAccess = DatumPeek::Access(*a_pdbdatum);
  const long lDevice = a_pdbdatum->GetDeviceData();
  const bool blMaster = a_iWindow == 0;
  auto head = [&](const char* a_szKind) {
    a_str += a_szKind;
    Numbers(a_str, {a_iWindow, a_iId, a_iBin, lAccess, lDevice});
  };
  auto longs = [&] {
    Numbers(a_str, {a_pdbdatum->GetCurrentLongNoCallback(), DatumPeek::Default(*a_pdbdatum),
                    DatumPeek::Previous(*a_pdbdatum), DatumPeek::Profile(*a_pdbdatum)});
  };
  if (auto* pdbrange = blMaster ? dynamic_cast<CDbRange*>(a_pdbdatum) : nullptr) {
    head("R");
    longs();
    Numbers(a_str, {pdbrange->GetMin(), pdbrange->GetMax(), pdbrange->GetStep(), pdbrange->GetDefaultMin(),
                    pdbrange->GetDefaultMax(), pdbrange->GetDefaultStep()});
  } else if (auto* pdbenum = blMaster ? dynamic_cast<CDbEnum*>(a_pdbdatum) : nullptr) {
    head("E");
    longs();
    Items(a_str, pdbenum->GetCurrentItemCount(), pdbenum, &CDbEnum::GetCurrentItem);
    Items(a_str, pdbenum->GetDefaultItemCount(), pdbenum, &CDbEnum::GetDefaultItem);
  } else if (auto* pdbstring = blMaster ? dynamic_cast<CDbString*>(a_pdbdatum) : nullptr) {
    head("S");
    Numbers(a_str, {static_cast<long>(pdbstring->GetSizetMaxString())});
    for (const char* szText : DatumPeek::Texts(*pdbstring)) {
      a_str += ' ';
      a_str += Escape(szText);
    }
  } else {
    head("W");
    longs();
  }
  a_str += '\n';
}

void Notifications(std::string& a_str, CDbNotify* a_pdbnotify) {
  if (!a_pdbnotify) return;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    const auto edbid = static_cast<EDBID>(iId);
    for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      const auto edbbin = static_cast<EDBBIN>(iBin);
      for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
        for (const auto& kind : {std::pair{DB_NOTIFY_VALUE, "value"}, std::pair{DB_NOTIFY_PROFILES, "profiles"}}) {
          if (a_pdbnotify->Get(kind.first, iWindow, edbbin, edbid)) {
            a_str += std::string("N ") + kind.second;
            Numbers(a_str, {iWindow, iBin, iId});
            a_str += '\n';
          }
        }
      }
      for (const auto& kind : {std::pair{DB_NOTIFY_ACCESS, "access"}, std::pair{DB_NOTIFY_CONSTRAINT, "constraint"}}) {
        if (a_pdbnotify->Get(kind.first, 0, edbbin, edbid)) {
          a_str += std::string("N ") + kind.second;
          Numbers(a_str, {iBin, iId});
          a_str += '\n';
        }
      }
    }
    for (const auto& kind : {std::pair{DB_NOTIFY_SIDES, "sides"}, std::pair{DB_NOTIFY_IMAGES, "images"}}) {
      if (CDbDatum* pdbdatum = a_pdbnotify->Get(kind.first, 0, DB_BIN_MACHINE, edbid)) {
        a_str += std::string("N ") + kind.second;
        Numbers(a_str, {iId, pdbdatum->GetWindow(), pdbdatum->GetBin()});
        a_str += '\n';
      }
    }
  }
}

// A text the device wrote: read only within its field.
template <size_t N>
std::string Field(const char (&a_sz)[N]) {
  return Escape(std::string(a_sz, strnlen(a_sz, N)).c_str());
}

void Dropouts(std::string& a_str, const char* a_szList, const DbEcdoRecord* a_pdbecdorecord, long a_lCount) {
  for (long l = 0; l < a_lCount; ++l) {
    const DbEcdoRecord& dbecdorecord = a_pdbecdorecord[l];
    if (!dbecdorecord.u32Value && !dbecdorecord.szName[0] && !dbecdorecord.szNameFlatbed[0] &&
        !dbecdorecord.szLabel[0] && !dbecdorecord.szKind[0]) {
      continue;
    }
    a_str += std::string("D ") + a_szList;
    Numbers(a_str, {l, static_cast<long>(dbecdorecord.u32Value)});
    a_str += " " + Field(dbecdorecord.szName) + " " + Field(dbecdorecord.szNameFlatbed) + " " +
             Field(dbecdorecord.szLabel) + " " + Field(dbecdorecord.szKind) + "\n";
  }
}

// The lists the colour rules keep and the texts they give the lookup.
void ColorLists(std::string& a_str, CDatabase& a_database) {
  Dropouts(a_str, "main", a_database.DeviceGetEcdoHeader()->adbecdorecord, DB_ECDO_RECORDS);
  Dropouts(a_str, "custom", a_database.DeviceGetEcdoCustomHeader()->adbecdorecord, DB_ECDOCUSTOM_RECORDS);
  const DbEcdoCache& dbecdocache = *a_database.GetEcdoCache();
  a_str += "K";
  Numbers(a_str, {dbecdocache.blLoaded ? 1L : 0L, dbecdocache.blCustomLoaded ? 1L : 0L});
  for (const auto& szName : dbecdocache.aszName) a_str += " " + Field(szName);
  a_str += "\n";
  const DbOverride& dboverride = *a_database.GetOverride();
  a_str += "O";
  Numbers(a_str, {static_cast<long>(dboverride.u32DocumentType), static_cast<long>(dboverride.u32Ecdo),
                  static_cast<long>(dboverride.u32EcdoCustom)});
  a_str += "\nQ " + Field(a_database.GetEcdoCustomSettings()->szName) + "\n";
  const DbColorTableRecord* adbcolortablerecord = a_database.DeviceGetColorTableHeader();
  for (long l = 0; l < DB_COLORTABLE_RECORDS; ++l) {
    const DbColorTableRecord& dbcolortablerecord = adbcolortablerecord[l];
    if (!dbcolortablerecord.i32Value && !dbcolortablerecord.szName[0] && !dbcolortablerecord.szLabel[0]) continue;
    a_str += "T";
    Numbers(a_str, {l, static_cast<long>(dbcolortablerecord.i32Value)});
    a_str += " " + Field(dbcolortablerecord.szName) + " " + Field(dbcolortablerecord.szLabel);
    Numbers(a_str, {static_cast<long>(dbcolortablerecord.i64Default)});
    a_str += "\n";
  }
  for (EDBID edbid : {DB_ID_COLORTABLE, DB_ID_ECDO, DB_ID_ECDOCUSTOM}) {
    const DbLookup2* pdblookup2 = a_database.LookupEdbid(edbid);
    for (long l = 0; pdblookup2 && pdblookup2->pEnums && l < pdblookup2->lEnumCount; ++l) {
      const DbLookupEnum& dblookupenum = pdblookup2->pEnums[l];
      a_str += "Y";
      Numbers(a_str, {static_cast<long>(edbid), dblookupenum.lValue});
      a_str += " " + Escape(dblookupenum.szLexiconEnum) + " " + Escape(dblookupenum.szLabel) + "\n";
    }
  }
}

}  // namespace

std::string Escape(const char* a_szText) {
  if (!a_szText || !*a_szText) return "%";
  std::string str;
  for (const auto* pu = reinterpret_cast<const unsigned char*>(a_szText); *pu; ++pu) {
    if (*pu > ' ' && *pu < 0x7f && *pu != '%') {
      str += static_cast<char>(*pu);
    } else {
      char sz[4];
      std::snprintf(sz, sizeof sz, "%%%02X", *pu);
      str += sz;
    }
  }
  return str;
}

std::string Unescape(const std::string& a_strText) {
  if (a_strText == "%") return std::string();
  std::string str;
  for (size_t sizet = 0; sizet < a_strText.size(); ++sizet) {
    if (a_strText[sizet] == '%' && sizet + 2 < a_strText.size()) {
      str += static_cast<char>(std::strtol(a_strText.substr(sizet + 1, 2).c_str(), nullptr, 16));
      sizet += 2;
    } else {
      str += a_strText[sizet];
    }
  }
  return str;
}

// CRC-32 (the polynomial of zlib, reflected), so that Python's zlib.crc32
// answers the same for the model's listing.
uint32_t Hash(const std::string& a_strText) {
  static const std::array<uint32_t, 256> s_au32Table = [] {
    std::array<uint32_t, 256> au32{};
    for (uint32_t u = 0; u < 256; ++u) {
      uint32_t u32 = u;
      for (int i = 0; i < 8; ++i) u32 = (u32 & 1) ? 0xEDB88320u ^ (u32 >> 1) : u32 >> 1;
      au32[u] = u32;
    }
    return au32;
  }();
  uint32_t u32 = 0xFFFFFFFFu;
  for (unsigned char uc : a_strText) u32 = s_au32Table[(u32 ^ uc) & 0xFF] ^ (u32 >> 8);
  return u32 ^ 0xFFFFFFFFu;
}

std::string State(CDatabase& a_database) {
  std::string str;
  const DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  if (!pdatumcommon || !a_database.IsValid()) return "nodatabase\n";
  Add(str, "windows %ld\n", CDbDatum::GetWindowMax());
  Add(str, "state %ld\n", static_cast<long>(pdatumcommon->lState));
  str += "error printer " + Escape(a_database.GetLastPrinterError()) + "\n";
  str += "error imageaddress " + Escape(a_database.GetLastImageAddressError()) + "\n";
  for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
        if (CDbDatum* pdbdatum = pdatumcommon->apdbdatum[iWindow][iId][iBin]) Datum(str, pdbdatum, iWindow, iId, iBin);
      }
    }
  }
  Notifications(str, a_database.GetDbNotify());
  ColorLists(str, a_database);
  return str;
}

std::string Config(CDatabase& a_database) {
  std::string str;
  for (size_t sizet = 0;; ++sizet) {
    const DbConfigRecord* pdbconfigrecord = a_database.ConfigGetRecord(sizet);
    if (!pdbconfigrecord) break;
    str += "C " + Escape(pdbconfigrecord->szKey);
    Add(str, " %ld ", static_cast<long>(pdbconfigrecord->u64Number));
    str += pdbconfigrecord->szString ? "s" + Escape(pdbconfigrecord->szString) : "-";
    str += '\n';
  }
  // The user's profile directory, where the multifeed sound is kept.
  str += "D user " + Escape(a_database.ProfileGetUserProfileDirectory()) + "\n";
  return str;
}

std::string Lookup(CDatabase& a_database) {
  std::string str;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    const DbLookup2* pdblookup2 = a_database.LookupEdbid(static_cast<EDBID>(iId));
    if (!pdblookup2) continue;
    Add(str, "L %ld ", iId);
    str += Escape(pdblookup2->szDbId) + " " + Escape(pdblookup2->szLexicon) + " " +
           Escape(pdblookup2->szTwainLexicon);
    Add(str, " %ld", static_cast<long>(pdblookup2->lTwainGroup));
    for (long l = 0; l < pdblookup2->lEnumCount && pdblookup2->pEnums; ++l) {
      Add(str, " %ld=", pdblookup2->pEnums[l].lValue);
      str += Escape(pdblookup2->pEnums[l].szLexiconEnum);
    }
    str += '\n';
  }
  return str;
}

}  // namespace ruleslisting
