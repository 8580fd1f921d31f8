// What the database keeps for the driver between calls: the status reply of
// the task being answered, the two growable text buffers and the model names
// of the scanner units.
#include <cstdint>
#include <cstring>

#include "db_cdatabase.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {

// A grown buffer holds this much beyond its text, so that slightly longer
// texts fit without another allocation.
constexpr size_t s_sizetDataSlack = 4096;

PFNDBDATAFAIL s_pfndbdatafail = nullptr;

void* AllocData(size_t a_sizetBytes) {
  if (s_pfndbdatafail && s_pfndbdatafail(a_sizetBytes)) return nullptr;
  return OsMemAlloc(a_sizetBytes);
}

bool ValidUnit(EDBID_FIRMWARE a_edbidfirmware) {
  return a_edbidfirmware == DB_FIRMWARE_ADF || a_edbidfirmware == DB_FIRMWARE_FLATBED;
}

}  // namespace

void CDatabase::CreateTaskReportStatus(const char* a_szStatus, COsXmlTask* a_posxmltask) {
  COsXmlTask* posxmltask = a_posxmltask ? a_posxmltask : m_posxmltask;
  if (!posxmltask) {
    OsLog(OS_LOG_ERROR, "m_posxmltask is null...");
    return;
  }
  posxmltask->Clear();
  posxmltask->StartTask(m_iTaskId, m_iReplyId, a_szStatus);
  posxmltask->FinalizeTask();
}

// ---------------------------------------------------------------------------
// Data buffers
// ---------------------------------------------------------------------------
// A text needs its terminator inside the buffer: one as long as the
// capacity grows it. A failed growth leaves no buffer behind.
EDBSTS CDatabase::SetData(const char* a_szText, bool a_blSecond) {
  char*& szData = m_aszData[a_blSecond ? 1 : 0];
  uint32_t& u32Size = m_au32DataSize[a_blSecond ? 1 : 0];
  if (!a_szText) {
    if (szData) std::memset(szData, 0, u32Size);
    return DB_STS_SUCCESS;
  }
  const size_t sizetText = std::strlen(a_szText);
  if (sizetText >= u32Size) {
    if (szData) OsMemFree(szData);
    szData = nullptr;
    u32Size = 0;
    const size_t sizetSize = sizetText + s_sizetDataSlack;
    if (sizetSize > UINT32_MAX || !(szData = static_cast<char*>(AllocData(sizetSize)))) {
      OsLog(OS_LOG_ERROR, "OsMemAlloc failed...%zu", sizetSize);
      return DB_STS_FAIL;
    }
    u32Size = static_cast<uint32_t>(sizetSize);
  }
  std::memset(szData, 0, u32Size);
  COsString::SStrCpy(szData, u32Size, a_szText);
  return DB_STS_SUCCESS;
}

const char* CDatabase::GetData(bool a_blSecond) { return m_aszData[a_blSecond ? 1 : 0]; }

void CDatabase::SetDataAllocationSeam(PFNDBDATAFAIL a_pfndbdatafail) { s_pfndbdatafail = a_pfndbdatafail; }

// ---------------------------------------------------------------------------
// Model names
// ---------------------------------------------------------------------------
void CDatabase::SetModelName(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModelName) {
  if (!ValidUnit(a_edbidfirmware) || !a_szModelName) {
    OsLog(OS_LOG_ERROR, "Bad argument...%d %p", a_edbidfirmware, static_cast<const void*>(a_szModelName));
    return;
  }
  char(&szModelName)[DB_MODELNAME_SIZE] = m_aszModelName[a_edbidfirmware];
  if (!COsString::SStrCpyCut(szModelName, sizeof szModelName, a_szModelName)) {
    OsLog(OS_LOG_ERROR, "Model name too long, cut to %zu bytes...<%s>", std::strlen(szModelName), a_szModelName);
  }
}

const char* CDatabase::GetModelName(EDBID_FIRMWARE a_edbidfirmware) {
  if (!ValidUnit(a_edbidfirmware)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbidfirmware...%d", a_edbidfirmware);
    return "";
  }
  return m_aszModelName[a_edbidfirmware];
}
