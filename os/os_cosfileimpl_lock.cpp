// Region locks and file times of one open file. Region locks are
// open-file-description record locks: they act between processes and
// between two file objects of one process alike.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_costime.h"

int COsFileImpl::FindSlot(uint64_t a_u64Offset, uint64_t a_u64Length) const {
  for (int i = 0; i < s_iLockSlots; ++i) {
    if (m_alockslot[i].u64Offset == a_u64Offset && m_alockslot[i].u64Length == a_u64Length) return i;
  }
  return -1;
}

namespace {
// The record-lock request for a region.
struct flock Region(short a_sType, uint64_t a_u64Offset, uint64_t a_u64Length) {
  struct flock fl {};
  fl.l_type = a_sType;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(a_u64Offset);
  fl.l_len = static_cast<off_t>(a_u64Length);
  return fl;
}
}  // namespace

// One request without waiting; 0, or -1 with errno.
int COsFileImpl::RegionLock(short a_sType, uint64_t a_u64Offset, uint64_t a_u64Length) {
  struct flock fl = Region(a_sType, a_u64Offset, a_u64Length);
  return fcntl(m_iFd, F_OFD_SETLK, &fl);
}

EOSSTS COsFileImpl::Lock(uint64_t a_u64Offset, uint64_t a_u64Length, long a_lTimeout, const char* a_szName) {
  if (a_u64Length == 0) {
    OsLog(OS_LOG_ERROR, "a_sizetRegion must be greater than zero...");
    return OS_STS_FAIL;
  }
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  if (FindSlot(a_u64Offset, a_u64Length) >= 0) return OS_STS_SUCCESS;
  int iSlot = FindSlot(0, 0);
  if (iSlot < 0) {
    OsLog(OS_LOG_ERROR, "lock slots are all full...");
    return OS_STS_FAIL;
  }
  // One request per 100 ms of time-out, spaced 100 ms apart.
  long lTimeout = a_lTimeout < s_lLockPauseMs ? s_lLockPauseMs : a_lTimeout;
  while (RegionLock(F_WRLCK, a_u64Offset, a_u64Length) != 0) {
    if (errno != EAGAIN && errno != EACCES) {
      OsLogDebug(OS_LOG_INFO, "We have a problem...");
      return OS_STS_FAIL;
    }
    if (lTimeout < s_lLockPauseMs + 1) {
      OsLogDebug(OS_LOG_INFO, "File is already locked...<%s>", a_szName ? a_szName : "(not specified)");
      return OS_STS_BUSY;
    }
    lTimeout -= s_lLockPauseMs;
    COsTime::Sleep(s_lLockPauseMs);
  }
  m_alockslot[iSlot].u64Offset = a_u64Offset;
  m_alockslot[iSlot].u64Length = a_u64Length;
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::Unlock(uint64_t a_u64Offset, uint64_t a_u64Length) {
  if (a_u64Length == 0) {
    OsLog(OS_LOG_ERROR, "a_sizetRegion must be greater than zero...");
    return OS_STS_FAIL;
  }
  int iSlot = IsOpen() ? FindSlot(a_u64Offset, a_u64Length) : -1;
  if (iSlot < 0) return OS_STS_SUCCESS;
  if (RegionLock(F_UNLCK, a_u64Offset, a_u64Length) != 0) OsLogDebug(OS_LOG_INFO, "unlock failed...%d", errno);
  m_alockslot[iSlot].u64Offset = 0;
  m_alockslot[iSlot].u64Length = 0;
  return OS_STS_SUCCESS;
}

// Asks without taking the region, so the test neither uses a slot nor
// makes another process's request fail meanwhile.
EOSSTS COsFileImpl::TestLock(uint64_t a_u64Offset, uint64_t a_u64Length) {
  if (a_u64Length == 0) {
    OsLog(OS_LOG_ERROR, "a_sizetRegion must be greater than zero...");
    return OS_STS_FAIL;
  }
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  if (FindSlot(a_u64Offset, a_u64Length) >= 0) return OS_STS_LOCKED;
  struct flock fl = Region(F_WRLCK, a_u64Offset, a_u64Length);
  if (fcntl(m_iFd, F_OFD_GETLK, &fl) != 0) {
    OsLogDebug(OS_LOG_INFO, "We have a problem...");
    return OS_STS_FAIL;
  }
  return fl.l_type == F_UNLCK ? OS_STS_SUCCESS : OS_STS_BUSY;
}

void COsFileImpl::TimeRecordFromTime(OsTimeRecord* a_ptimerecord, time_t a_timet) {
  struct tm tmUtc {};
  gmtime_r(&a_timet, &tmUtc);
  a_ptimerecord->u16Year = static_cast<uint16_t>(tmUtc.tm_year + 1900);
  a_ptimerecord->u16Month = static_cast<uint16_t>(tmUtc.tm_mon + 1);
  a_ptimerecord->u16DayOfWeek = static_cast<uint16_t>(tmUtc.tm_wday);
  a_ptimerecord->u16Day = static_cast<uint16_t>(tmUtc.tm_mday);
  a_ptimerecord->u16Hour = static_cast<uint16_t>(tmUtc.tm_hour);
  a_ptimerecord->u16Minute = static_cast<uint16_t>(tmUtc.tm_min);
  a_ptimerecord->u16Second = static_cast<uint16_t>(tmUtc.tm_sec);
  a_ptimerecord->u16Milliseconds = 0;
}

EOSSTS COsFileImpl::GetFileTimes(OsTimeRecord* a_ptimerecordAccessed, OsTimeRecord* a_ptimerecordModified) {
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  struct stat st;
  if (fstat(m_iFd, &st) != 0) {
    OsLogDebug(OS_LOG_INFO, "fstat failed...%d <%s>", errno, m_szName);
    return OS_STS_FAIL;
  }
  if (a_ptimerecordAccessed) TimeRecordFromTime(a_ptimerecordAccessed, st.st_atim.tv_sec);
  if (a_ptimerecordModified) TimeRecordFromTime(a_ptimerecordModified, st.st_mtim.tv_sec);
  return OS_STS_SUCCESS;
}

namespace {
// A UTC record as seconds since the epoch, without the process's time zone.
bool TimeFromRecord(const OsTimeRecord* a_ptimerecord, struct timespec* a_ptimespec) {
  const OsTimeRecord& r = *a_ptimerecord;
  if (r.u16Month < 1 || r.u16Month > 12 || r.u16Day < 1 || r.u16Day > 31 || r.u16Hour > 23 || r.u16Minute > 59 ||
      r.u16Second > 60 || r.u16Year < 1900) {
    return false;
  }
  struct tm tmUtc {};
  tmUtc.tm_year = r.u16Year - 1900;
  tmUtc.tm_mon = r.u16Month - 1;
  tmUtc.tm_mday = r.u16Day;
  tmUtc.tm_hour = r.u16Hour;
  tmUtc.tm_min = r.u16Minute;
  tmUtc.tm_sec = r.u16Second;
  a_ptimespec->tv_sec = timegm(&tmUtc);
  a_ptimespec->tv_nsec = 0;
  return true;
}
}  // namespace

EOSSTS COsFileImpl::SetFileTimes(const OsTimeRecord* a_ptimerecordAccessed,
                                 const OsTimeRecord* a_ptimerecordModified) {
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  struct stat st;
  if (fstat(m_iFd, &st) != 0) {
    OsLogDebug(OS_LOG_INFO, "fstat failed...%d <%s>", errno, m_szName);
    return OS_STS_FAIL;
  }
  struct timespec atimespec[2] = {st.st_atim, st.st_mtim};
  if ((a_ptimerecordAccessed && !TimeFromRecord(a_ptimerecordAccessed, &atimespec[0])) ||
      (a_ptimerecordModified && !TimeFromRecord(a_ptimerecordModified, &atimespec[1]))) {
    OsLog(OS_LOG_ERROR, "bad time record...<%s>", m_szName);
    return OS_STS_BAD_ARGUMENT;
  }
  if (futimens(m_iFd, atimespec) != 0) {
    OsLogDebug(OS_LOG_INFO, "futimens failed...%d <%s>", errno, m_szName);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
