// The image queue: slots allocated once, linked in push order, one
// recursive mutex, and the hand-off of each record to the driver assistant.
#include "dev_cimgqueue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "drv_cdrvassistant.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

// Makes a text buffer hold a text of the length: a buffer that is too
// small is replaced by one of the length plus the growth. The old buffer is
// freed only once the new one exists; false (logged) when it cannot be had.
bool Room(char** a_pszBuffer, size_t* a_psizetBuffer, size_t a_sizetLength) {
  if (a_sizetLength < *a_psizetBuffer) return true;
  const size_t sizetNew = a_sizetLength + CImgQueue::s_sizetGrowth;
  auto* szNew = static_cast<char*>(OsMemAlloc(sizetNew));
  if (!szNew) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...%zu", sizetNew);
    return false;
  }
  if (*a_pszBuffer) OsMemFree(*a_pszBuffer);
  *a_pszBuffer = szNew;
  *a_psizetBuffer = sizetNew;
  return true;
}

// The content of the first <name> element of a record's text, cut to the
// output; empty when there is none.
void Element(const char* a_szText, const char* a_szName, char* a_szOut, size_t a_sizetOut) {
  a_szOut[0] = '\0';
  if (!a_szText) return;
  char szOpen[64];
  char szClose[64];
  std::snprintf(szOpen, sizeof szOpen, "<%s>", a_szName);
  std::snprintf(szClose, sizeof szClose, "</%s>", a_szName);
  const char* szStart = std::strstr(a_szText, szOpen);
  if (!szStart) return;
  szStart += std::strlen(szOpen);
  const char* szEnd = std::strstr(szStart, szClose);
  if (!szEnd) return;
  const size_t sizetLength = std::min(static_cast<size_t>(szEnd - szStart), a_sizetOut - 1);
  std::memcpy(a_szOut, szStart, sizetLength);
  a_szOut[sizetLength] = '\0';
}

const char* Text(const char* a_szText) { return a_szText ? a_szText : ""; }

}  // namespace

CImgQueue::Hold::Hold(CImgQueue* a_pimgqueue) {
  if (a_pimgqueue->m_pdrvassistant) m_dblockrelease.emplace();
  m_lock = std::unique_lock<std::recursive_mutex>(a_pimgqueue->m_mutex);
}

CImgQueue::CImgQueue(int a_iCapacity, CDrvAssistant* a_pdrvassistant, size_t a_sizetReader)
    : m_sizetReader(a_sizetReader), m_pdrvassistant(a_pdrvassistant) {
  if (a_iCapacity < 1) {
    OsLog(OS_LOG_ERROR, "imgqueue: bad capacity...%d", a_iCapacity);
    return;
  }
  m_aimgqueuerecord = static_cast<ImgQueueRecord*>(OsMemAlloc(sizeof(ImgQueueRecord) * a_iCapacity));
  if (!m_aimgqueuerecord) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...%d records", a_iCapacity);
    return;
  }
  m_iCapacity = a_iCapacity;
  for (int i = 0; i < m_iCapacity; ++i) {
    ImgQueueRecord& record = m_aimgqueuerecord[i];
    record.szText = static_cast<char*>(OsMemAlloc(s_sizetText));
    record.szText2 = record.szText ? static_cast<char*>(OsMemAlloc(s_sizetText)) : nullptr;
    if (!record.szText || !record.szText2) {
      OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
      if (record.szText) OsMemFree(record.szText);
      record.szText = nullptr;
      break;
    }
    record.sizetText = s_sizetText;
    record.sizetText2 = s_sizetText;
  }
}

CImgQueue::~CImgQueue() {
  for (int i = 0; i < m_iCapacity; ++i) {
    if (m_aimgqueuerecord[i].szText) OsMemFree(m_aimgqueuerecord[i].szText);
    if (m_aimgqueuerecord[i].szText2) OsMemFree(m_aimgqueuerecord[i].szText2);
  }
  if (m_aimgqueuerecord) OsMemFree(m_aimgqueuerecord);
  OsMemDelete(m_puseraction);
}

EOSSTS CImgQueue::Push(EDEVSTS a_edevsts, const char* a_szText, const char* a_szText2, int a_iImageCount,
                       int a_iPageCount, int a_iPageImageCount, int a_iPageSideCount,
                       int a_iDiscardRepeatedEndOfOutput, bool a_blDump) {
  Hold hold(this);
  if (m_iPushDepth > 0) OsLogDebug(OS_LOG_INFO, "imgqueue: thread push reference count incremented %d", m_iPushDepth);
  ++m_iPushDepth;
  const EOSSTS eossts = PushHeld(a_edevsts, a_szText, a_szText2, a_iImageCount, a_iPageCount, a_iPageImageCount,
                                 a_iPageSideCount, a_iDiscardRepeatedEndOfOutput, a_blDump);
  --m_iPushDepth;
  if (m_iPushDepth > 0) OsLogDebug(OS_LOG_INFO, "imgqueue: thread push reference count decremented %d", m_iPushDepth);
  return eossts;
}

EOSSTS CImgQueue::PushHeld(EDEVSTS a_edevsts, const char* a_szText, const char* a_szText2, int a_iImageCount,
                           int a_iPageCount, int a_iPageImageCount, int a_iPageSideCount,
                           int a_iDiscardRepeatedEndOfOutput, bool a_blDump) {
  if (a_iDiscardRepeatedEndOfOutput && a_edevsts == DEV_STS_ENDOFOUTPUT) {
    const ImgQueueRecord* plast = Last();
    if (plast && plast->edevsts == DEV_STS_ENDOFOUTPUT) {
      OsLogDebug(OS_LOG_INFO, "imgqueue: discarding extra DEV_STS_NEXENDOUTPUT...");
      return OS_STS_SUCCESS;
    }
  }
  if (m_pdrvassistant && a_edevsts != DEV_STS_USERINPUT && OfferToAssistant(a_edevsts, a_szText, a_szText2)) {
    return OS_STS_SUCCESS;
  }
  const bool blText2 = a_szText && a_edevsts != DEV_STS_USERINPUT && a_szText2 && *a_szText2;
  const size_t sizetText = a_szText ? std::strlen(a_szText) : 0;
  const size_t sizetText2 = blText2 ? std::strlen(a_szText2) : 0;
  if (m_sizetReader && (sizetText >= m_sizetReader || sizetText2 >= m_sizetReader)) {
    OsLog(OS_LOG_ERROR, "imgqueue: record longer than its reader takes, refused...%d %zu %zu/%zu",
          static_cast<int>(a_edevsts), sizetText, sizetText2, m_sizetReader);
    return static_cast<EOSSTS>(DEV_STS_LOWMEMORY);
  }
  ImgQueueRecord* precord = FreeSlot();
  if (!precord) {
    OsLog(OS_LOG_ERROR, "imgqueue: is full...");
    DumpHeld(IMGQ_DUMP_ALL);
    return static_cast<EOSSTS>(DEV_STS_LOWMEMORY);
  }
  // Both texts get their room before the slot is taken, so a failure leaves
  // it free.
  if ((a_szText && !Room(&precord->szText, &precord->sizetText, sizetText)) ||
      (blText2 && !Room(&precord->szText2, &precord->sizetText2, sizetText2))) {
    return static_cast<EOSSTS>(DEV_STS_LOWMEMORY);
  }
  precord->blInUse = true;
  precord->edevsts = a_edevsts;
  precord->pnext = nullptr;
  if (a_szText) {
    if (a_edevsts != DEV_STS_USERINPUT) {
      precord->iImageCount = a_iImageCount;
      precord->iPageCount = a_iPageCount;
      precord->iPageImageCount = a_iPageImageCount;
      precord->iPageSideCount = a_iPageSideCount;
    }
    std::strcpy(precord->szText, a_szText);
  }
  if (blText2) {
    std::strcpy(precord->szText2, a_szText2);
  } else if (precord->szText2) {
    precord->szText2[0] = '\0';
  }
  Link(precord);
  if (a_blDump && g_poslog && g_poslog->GetDebugLevel()) DumpHeld(IMGQ_DUMP_ALL);
  return OS_STS_SUCCESS;
}

// The record goes to the assistant first; true when it took it. The copy
// handed over stays until the next offer: the assistant may keep using it.
bool CImgQueue::OfferToAssistant(EDEVSTS a_edevsts, const char* a_szText, const char* a_szText2) {
  OsLogDebug(OS_LOG_INFO, "imgqueue: check driver assistant");
  OsMemDelete(m_puseraction);
  m_puseraction = OsMemNew(CDrvAssistantActionUserAction, a_edevsts, a_szText, a_szText2);
  if (!m_puseraction) {
    // The record is queued rather than lost.
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return false;
  }
  if (m_pdrvassistant->Action(DRV_ASSISTANTACTION_USERACTION, m_puseraction) == DRV_ASSISTANT_STS_TAKEN) {
    OsLogDebug(OS_LOG_INFO, "imgqueue: was processed driver assistant");
    return true;
  }
  OsLogDebug(OS_LOG_INFO, "imgqueue: not for driver assistant");
  return false;
}

EDEVSTS CImgQueue::Pop(char* a_szText, int a_iSize, int* a_piImageCount, int* a_piPageCount, int* a_piPageImageCount,
                       int* a_piPageSideCount, char* a_szText2, int a_iSize2, bool a_blDump) {
  Hold hold(this);
  ImgQueueRecord* precord = m_phead;
  if (!precord) {
    OsLogDebug(OS_LOG_INFO, "imgqueue: (empty)");
    return DEV_STS_NOIMAGEAVAILABLE;
  }
  const size_t sizetText = std::strlen(Text(precord->szText));
  const size_t sizetText2 = std::strlen(Text(precord->szText2));
  if ((a_szText && (a_iSize < 1 || sizetText >= static_cast<size_t>(a_iSize))) ||
      (a_szText2 && (a_iSize2 < 1 || sizetText2 >= static_cast<size_t>(a_iSize2)))) {
    OsLog(OS_LOG_ERROR, "imgqueue: output too small, record dropped...%d %zu/%d %zu/%d",
          static_cast<int>(precord->edevsts), sizetText, a_iSize, sizetText2, a_iSize2);
    m_phead = precord->pnext;
    Clear(precord);
    return DEV_STS_LOWMEMORY;
  }
  if (a_blDump && g_poslog && g_poslog->GetDebugLevel()) DumpHeld(IMGQ_DUMP_ALL);
  const EDEVSTS edevsts = precord->edevsts;
  if (a_szText) std::memcpy(a_szText, Text(precord->szText), sizetText + 1);
  if (a_szText2) std::memcpy(a_szText2, Text(precord->szText2), sizetText2 + 1);
  if (a_piImageCount) *a_piImageCount = precord->iImageCount;
  if (a_piPageCount) *a_piPageCount = precord->iPageCount;
  if (a_piPageImageCount) *a_piPageImageCount = precord->iPageImageCount;
  if (a_piPageSideCount) *a_piPageSideCount = precord->iPageSideCount;
  m_phead = precord->pnext;
  Clear(precord);
  return edevsts;
}

bool CImgQueue::MoveToHead(const std::function<bool(const char*)>& a_fnTest, bool* a_pblMoved) {
  Hold hold(this);
  if (a_pblMoved) *a_pblMoved = false;
  ImgQueueRecord* pprevious = nullptr;
  for (ImgQueueRecord* precord = m_phead; precord; pprevious = precord, precord = precord->pnext) {
    if (!a_fnTest(Text(precord->szText))) continue;
    if (pprevious) {
      pprevious->pnext = precord->pnext;
      precord->pnext = m_phead;
      m_phead = precord;
      if (a_pblMoved) *a_pblMoved = true;
    }
    return true;
  }
  return false;
}

EDEVSTS CImgQueue::PeekAtEdevsts() {
  Hold hold(this);
  return m_phead ? m_phead->edevsts : DEV_STS_NOIMAGEAVAILABLE;
}

bool CImgQueue::HeadFits(size_t a_sizetOutput) {
  Hold hold(this);
  return !m_phead || std::strlen(Text(m_phead->szText)) < a_sizetOutput;
}

bool CImgQueue::IsFull(unsigned int a_uLimit) {
  Hold hold(this);
  unsigned int uCount = 0;
  if (uCount >= a_uLimit) return true;
  for (const ImgQueueRecord* precord = m_phead; precord; precord = precord->pnext) {
    if (precord->edevsts != DEV_STS_ENDOFSHEET && ++uCount >= a_uLimit) return true;
  }
  return false;
}

void CImgQueue::ResetAll() {
  Hold hold(this);
  for (int i = 0; i < m_iCapacity; ++i) Clear(&m_aimgqueuerecord[i]);
  m_phead = nullptr;
}

void CImgQueue::Copy(CImgQueue* a_pimgqueueSource) {
  if (a_pimgqueueSource == this) {
    OsLog(OS_LOG_ERROR, "imgqueue: copying to ourselves...");
    return;
  }
  if (!a_pimgqueueSource) {
    OsLog(OS_LOG_ERROR, "imgqueue: a_pimgqueueSource is null...");
    return;
  }
  Hold hold(this);
  Hold holdSource(a_pimgqueueSource);
  for (int i = 0; i < m_iCapacity; ++i) Clear(&m_aimgqueuerecord[i]);
  m_phead = nullptr;
  int iSlot = 0;
  for (const ImgQueueRecord* psource = a_pimgqueueSource->m_phead; psource; psource = psource->pnext, ++iSlot) {
    if (iSlot >= m_iCapacity) {
      OsLog(OS_LOG_ERROR, "imgqueue: copy stops at the capacity...%d", m_iCapacity);
      return;
    }
    ImgQueueRecord* precord = &m_aimgqueuerecord[iSlot];
    if (!Room(&precord->szText, &precord->sizetText, std::strlen(Text(psource->szText))) ||
        !Room(&precord->szText2, &precord->sizetText2, std::strlen(Text(psource->szText2)))) {
      return;
    }
    precord->edevsts = psource->edevsts;
    precord->iImageCount = psource->iImageCount;
    precord->iPageCount = psource->iPageCount;
    precord->iPageImageCount = psource->iPageImageCount;
    precord->iPageSideCount = psource->iPageSideCount;
    precord->blInUse = true;
    std::strcpy(precord->szText, Text(psource->szText));
    std::strcpy(precord->szText2, Text(psource->szText2));
    Link(precord);
  }
}

void CImgQueue::Dump(EIMGQDUMP a_eimgqdump) {
  Hold hold(this);
  DumpHeld(a_eimgqdump);
}

void CImgQueue::DumpHeld(EIMGQDUMP a_eimgqdump) {
  if (!g_poslog) return;  // nothing to write to: spare the walk
  if (a_eimgqdump < IMGQ_DUMP_ALL || a_eimgqdump > IMGQ_DUMP_LAST) {
    OsLog(OS_LOG_ERROR, "imgqueue: unrecognized eimgqdump...%d", a_eimgqdump);
    return;
  }
  if (!m_phead) {
    OsLog(OS_LOG_INFO, "imgqueue: (empty)");
    return;
  }
  int iPosition = 0;
  for (const ImgQueueRecord* precord = m_phead; precord; precord = precord->pnext, ++iPosition) {
    const bool blLast = !precord->pnext;
    if (a_eimgqdump == IMGQ_DUMP_LAST && !blLast) continue;
    char szWindowId[256];
    char szImageId[256];
    char szImageFilename[512];
    Element(precord->szText, "windowid", szWindowId, sizeof szWindowId);
    Element(precord->szText, "imageid", szImageId, sizeof szImageId);
    Element(precord->szText, "imagefilename", szImageFilename, sizeof szImageFilename);
    OsLog(OS_LOG_INFO,
          "imgqueue: sts=%3d ic=%6d pc=%6d pic=%2d pdc=%6d iu=%d t=%p n=%p sz=%d\n\t\ti=%2d l=%d wi=%s ii=%s\n\t\tif=%s",
          precord->edevsts, precord->iImageCount, precord->iPageCount, precord->iPageImageCount,
          precord->iPageSideCount, precord->blInUse ? 1 : 0, static_cast<const void*>(this),
          static_cast<const void*>(precord->pnext), static_cast<int>(precord->sizetText), iPosition, blLast ? 1 : 0,
          szWindowId, szImageId, szImageFilename);
    if (a_eimgqdump == IMGQ_DUMP_FIRST) return;
  }
}

size_t CImgQueue::GetTextSize(int a_iSlot) const {
  return a_iSlot >= 0 && a_iSlot < m_iCapacity ? m_aimgqueuerecord[a_iSlot].sizetText : 0;
}

CImgQueue::ImgQueueRecord* CImgQueue::FreeSlot() {
  for (int i = 0; i < m_iCapacity; ++i) {
    if (!m_aimgqueuerecord[i].blInUse) return &m_aimgqueuerecord[i];
  }
  return nullptr;
}

CImgQueue::ImgQueueRecord* CImgQueue::Last() {
  ImgQueueRecord* precord = m_phead;
  while (precord && precord->pnext) precord = precord->pnext;
  return precord;
}

void CImgQueue::Link(ImgQueueRecord* a_pimgqueuerecord) {
  ImgQueueRecord* plast = Last();
  if (plast) {
    plast->pnext = a_pimgqueuerecord;
  } else {
    m_phead = a_pimgqueuerecord;
  }
}

// Emptied for reuse: buffers and their sizes stay.
void CImgQueue::Clear(ImgQueueRecord* a_pimgqueuerecord) {
  a_pimgqueuerecord->edevsts = DEV_STS_SUCCESS;
  a_pimgqueuerecord->iImageCount = 0;
  a_pimgqueuerecord->iPageCount = 0;
  a_pimgqueuerecord->iPageImageCount = 0;
  a_pimgqueuerecord->iPageSideCount = 0;
  a_pimgqueuerecord->blInUse = false;
  a_pimgqueuerecord->pnext = nullptr;
  if (a_pimgqueuerecord->szText) a_pimgqueuerecord->szText[0] = '\0';
  if (a_pimgqueuerecord->szText2) a_pimgqueuerecord->szText2[0] = '\0';
}
