// The image library's scan-time tasks: an image record in (setinput, the
// baffle and toggle patches), its outputs back (getoutput) and let go
// (imageend). None of them takes the database lock; a caller's is given
// up while they run.
#include <cstring>
#include <mutex>

#include "dev_cdevnexil.h"
#include "dev_drvconfig.h"
#include "dp_creportimage.h"
#include "os_coslog.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetWord = 64;
constexpr size_t s_sizetCameraId = 256;
constexpr size_t s_sizetImageFilename = 1024;

// The words of a getoutput reply, what each gives and whether the reply's
// body goes to the caller; any other word gives 1.
struct OutputWord {
  const char* szWord;
  EDEVSTS edevsts;
  bool blBody;
};
constexpr OutputWord s_aoutputword[] = {
    {"success", DEV_STS_SUCCESS, true},
    {"endofoutput", DEV_STS_ENDOFOUTPUT, false},
    {"nomemory", DEV_STS_LOWMEMORY, false},
    {"ecdocustomlearnfail", DEV_STS_ECDOCUSTOMLEARNFAIL, true},
};

// The camera id of an image record; empty when it has none (or one that
// does not fit).
void CameraId(const char* a_szXml, char* a_szCameraId) {
  a_szCameraId[0] = '\0';
  if (COsXml::GetContent(a_szXml, "<cameraid>", "</cameraid>", a_szCameraId, s_sizetCameraId) != OS_STS_SUCCESS)
    a_szCameraId[0] = '\0';
}

// The text between the task element's start tag and its end tag. The start
// tag ends at its first '>' outside the attribute values, whatever their
// quotes, as the device adapter reads it (DevTaskBody).
bool Body(const char* a_szReply, const char** a_ppcBody, size_t* a_psizetBody) {
  const char* pcTag = std::strstr(a_szReply, "<task");
  if (!pcTag) return false;
  char cQuote = '\0';
  const char* pc = pcTag + 5;
  for (; *pc; ++pc) {
    if (cQuote) {
      if (*pc == cQuote) cQuote = '\0';
    } else if (*pc == '\'' || *pc == '"') {
      cQuote = *pc;
    } else if (*pc == '>') {
      break;
    }
  }
  if (*pc != '>') return false;
  const char* pcEnd = std::strstr(pc + 1, "</task>");
  if (!pcEnd) return false;
  *a_ppcBody = pc + 1;
  *a_psizetBody = static_cast<size_t>(pcEnd - *a_ppcBody);
  return true;
}

}  // namespace

// Only "flatbed" itself names the flatbed.
EDBID_FIRMWARE CDevNexil::UnitOfCamera(const char* a_szCameraId) {
  return a_szCameraId && std::strcmp(a_szCameraId, "flatbed") == 0 ? DB_FIRMWARE_FLATBED : DB_FIRMWARE_ADF;
}

EDEVSTS CDevNexil::GetOutput(EDBID_FIRMWARE a_edbidfirmware, char* a_szOutput, size_t a_sizetOutput) {
  CExchangeLock lock(m_mutex);
  if (a_szOutput && a_sizetOutput) a_szOutput[0] = '\0';
  if (!Alive(a_edbidfirmware) || !Begin("getoutput")) return DEV_STS_FAIL;
  const char* szReply = Send(a_edbidfirmware, "getoutput");
  if (!szReply) return DEV_STS_FAIL;
  char szStatus[s_sizetWord];
  CReportImage::StatusWord(szReply, szStatus, sizeof szStatus);
  const OutputWord* poutputword = nullptr;
  for (const OutputWord& outputword : s_aoutputword) {
    if (std::strcmp(szStatus, outputword.szWord) == 0) poutputword = &outputword;
  }
  if (!poutputword) return DEV_STS_FAIL;
  const char* pcBody = nullptr;
  size_t sizetBody = 0;
  if (!poutputword->blBody || !a_szOutput || !Body(szReply, &pcBody, &sizetBody)) return poutputword->edevsts;
  if (sizetBody < a_sizetOutput) {
    std::memcpy(a_szOutput, pcBody, sizetBody);
    a_szOutput[sizetBody] = '\0';
    return poutputword->edevsts;
  }
  // The caller can never read this output: the library lets it go now
  // rather than keep its file until the scan ends.
  OsLog(OS_LOG_ERROR, "GetOutput: the reply does not fit the output...%zu %zu", sizetBody, a_sizetOutput);
  char szImageFilename[s_sizetImageFilename] = {};
  if (COsXml::GetContent(szReply, "<imagefilename>", "</imagefilename>", szImageFilename, sizeof szImageFilename) ==
          OS_STS_SUCCESS &&
      szImageFilename[0]) {
    ImageEndLocked(a_edbidfirmware, szImageFilename);
  }
  return DEV_STS_FAIL;
}

const char* CDevNexil::ImageEnd(EDBID_FIRMWARE a_edbidfirmware, const char* a_szImageFilename) {
  CExchangeLock lock(m_mutex);
  return KeepReply(ImageEndLocked(a_edbidfirmware, a_szImageFilename));
}

const char* CDevNexil::ImageEndLocked(EDBID_FIRMWARE a_edbidfirmware, const char* a_szImageFilename) {
  if (DevDriverConfigGetLong(DRV_CFGTAG_FORCENEXILUSEIMAGEEND) == 0) return nullptr;
  if (!a_szImageFilename || !*a_szImageFilename) return nullptr;
  if (!Alive(a_edbidfirmware) || !Begin("imageend", std::strlen(a_szImageFilename))) return nullptr;
  m_posxmltask->AddArgument("imagefilename", a_szImageFilename);
  return Send(a_edbidfirmware, "imageend");
}

// The record's extract goes as it is, however long the record.
bool CDevNexil::ExtractImage(const char* a_szXml) {
  const size_t sizetXml = std::strlen(a_szXml);
  if (m_vcExtract.size() < sizetXml + 1) m_vcExtract.resize(sizetXml + 1);
  return COsXml::GetContent(a_szXml, "<reportimage>", "</reportimage>", m_vcExtract.data(), m_vcExtract.size()) ==
         OS_STS_SUCCESS;
}

const char* CDevNexil::SendImage(const char* a_szCommand, const char* a_szXml, EDBID_FIRMWARE* a_pedbidfirmware) {
  if (!a_szXml) {
    OsLog(OS_LOG_ERROR, "a_szXml is null...");
    return nullptr;
  }
  char szCameraId[s_sizetCameraId];
  CameraId(a_szXml, szCameraId);
  *a_pedbidfirmware = UnitOfCamera(szCameraId);
  if (!ExtractImage(a_szXml)) {
    OsLog(OS_LOG_ERROR, "%s: no <reportimage>...", a_szCommand);
    return nullptr;
  }
  if (!Alive(*a_pedbidfirmware) || !Begin(a_szCommand, std::strlen(m_vcExtract.data()))) return nullptr;
  m_posxmltask->AddPassThrough(m_vcExtract.data());
  return Send(*a_pedbidfirmware, a_szCommand);
}

// Only the status word counts here.
EOSSTS CDevNexil::SetInput(const char* a_szXml) {
  CExchangeLock lock(m_mutex);
  EDBID_FIRMWARE edbidfirmware = DB_FIRMWARE_ADF;
  const char* szReply = SendImage("setinput", a_szXml, &edbidfirmware);
  char szStatus[s_sizetWord];
  CReportImage::StatusWord(szReply, szStatus, sizeof szStatus);
  return std::strcmp(szStatus, "success") == 0 ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS CDevNexil::SetBaffle(const char* a_szXml) {
  CExchangeLock lock(m_mutex);
  EDBID_FIRMWARE edbidfirmware = DB_FIRMWARE_ADF;
  const char* szReply = SendImage("setbaffle", a_szXml, &edbidfirmware);
  if (!szReply) return OS_STS_FAIL;
  return Parsed(szReply, edbidfirmware, false, "Nexil setbaffle failed...");
}

EOSSTS CDevNexil::SetToggle(const char* a_szXml) {
  CExchangeLock lock(m_mutex);
  if (!a_szXml) {
    OsLog(OS_LOG_ERROR, "a_szXml is null...");
    return OS_STS_FAIL;
  }
  char szCameraId[s_sizetCameraId];
  CameraId(a_szXml, szCameraId);
  const EDBID_FIRMWARE edbidfirmware = UnitOfCamera(szCameraId);
  if (!Alive(edbidfirmware) || !Begin("settoggle")) return OS_STS_FAIL;
  m_posxmltask->AddArgument("cameraid", szCameraId);
  return Parsed(Send(edbidfirmware, "settoggle"), edbidfirmware, false, "Nexil settoggle failed...");
}
