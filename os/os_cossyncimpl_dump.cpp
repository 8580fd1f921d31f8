// Diagnostic files: the block layout, and the contents of one block.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cossyncimpl.h"
#include "os_cosstring.h"

namespace {
constexpr unsigned kSectionIdentity = 1;
constexpr unsigned kTagLogDirectory = 12;

struct OsSyncDumpField {
  const char* szName;
  size_t sizetOffset;
  size_t sizetSize;
  size_t sizetCount;  // array elements, 0 for a plain field
};

struct OsSyncDumpStruct {
  const char* szName;
  size_t sizetSize;
  const OsSyncDumpField* pfield;
  size_t sizetFields;
};

#define SYNC_FIELD(type, member) {#member, offsetof(type, member), sizeof(type::member), 0}
#define SYNC_ARRAY(type, member, count) {#member, offsetof(type, member), sizeof(type::member), count}

const OsSyncDumpField s_aObject[] = {
    SYNC_FIELD(OsSyncObject, u64OsSyncMode), SYNC_FIELD(OsSyncObject, u64Pid), SYNC_FIELD(OsSyncObject, u64Tid),
    SYNC_FIELD(OsSyncObject, u64Object), SYNC_FIELD(OsSyncObject, u64FlagIndex)};
const OsSyncDumpField s_aFlag[] = {
    SYNC_FIELD(OsSyncFlag, u64OsSyncType), SYNC_ARRAY(OsSyncFlag, szName, OS_SYNC_NAME_SIZE),
    SYNC_FIELD(OsSyncFlag, u64ReferenceCount), SYNC_FIELD(OsSyncFlag, vi64Condition),
    SYNC_FIELD(OsSyncFlag, vi64ManualReset), SYNC_FIELD(OsSyncFlag, vu64Mutex)};
const OsSyncDumpField s_aPublic[] = {
    SYNC_FIELD(OsSyncPublic, u64Size), SYNC_FIELD(OsSyncPublic, u64OsSyncStruct),
    SYNC_ARRAY(OsSyncPublic, aossyncobject, OS_SYNC_OBJECT_COUNT),
    SYNC_ARRAY(OsSyncPublic, aossyncflag, OS_SYNC_FLAG_COUNT)};
const OsSyncDumpField s_aPrivate[] = {SYNC_FIELD(OsSyncPrivate, pthreadmutext), SYNC_FIELD(OsSyncPrivate, pthreadcondt)};
const OsSyncDumpField s_aGroup[] = {SYNC_FIELD(OsSyncGroup, ossyncpublic), SYNC_FIELD(OsSyncGroup, ossyncprivate)};

const OsSyncDumpStruct s_aStructs[] = {
    {"OsSyncObject", sizeof(OsSyncObject), s_aObject, std::size(s_aObject)},
    {"OsSyncFlag", sizeof(OsSyncFlag), s_aFlag, std::size(s_aFlag)},
    {"OsSyncPublic", sizeof(OsSyncPublic), s_aPublic, std::size(s_aPublic)},
    {"OsSyncPrivate", sizeof(OsSyncPrivate), s_aPrivate, std::size(s_aPrivate)},
    {"OsSyncGroup", sizeof(OsSyncGroup), s_aGroup, std::size(s_aGroup)},
};

// Field name padded with dots to one width.
void WriteLabel(FILE* a_pfile, const char* a_szLabel) {
  char szLabel[40];
  std::memset(szLabel, '.', sizeof szLabel - 1);
  szLabel[sizeof szLabel - 1] = '\0';
  size_t sizetLen = std::strlen(a_szLabel);
  std::memcpy(szLabel, a_szLabel, sizetLen < sizeof szLabel - 1 ? sizetLen : sizeof szLabel - 1);
  std::fputs(szLabel, a_pfile);
}

void WriteRule(FILE* a_pfile, int a_iCount) {
  for (int i = 0; i < a_iCount; ++i) std::fputc('~', a_pfile);
  std::fputs("\r\n", a_pfile);
}

// The dump directory: LogDirectory, else the directory of the object files.
FILE* OpenDumpFile(const char* a_szFile) {
  char szDirectory[OS_SYNC_NAME_SIZE];
  const char* szConfigured = g_poscfg ? g_poscfg->Get(kSectionIdentity, kTagLogDirectory) : nullptr;
  bool blOk = (szConfigured && *szConfigured)
                  ? COsString::SStrPrintf(szDirectory, sizeof szDirectory, "%s", szConfigured) >= 0
                  : OsSyncCommonDirectory(szDirectory, sizeof szDirectory);
  char szPath[OS_SYNC_NAME_SIZE * 2];
  if (!blOk || COsString::SStrPrintf(szPath, sizeof szPath, "%s/%s", szDirectory, a_szFile) < 0) return nullptr;
  COsFile::Create(szDirectory);
  return std::fopen(szPath, "wbe");
}

void WriteBytes(FILE* a_pfile, const char* a_szLabel, const unsigned char* a_pbData, size_t a_sizetData) {
  std::fprintf(a_pfile, "%s\r\n", a_szLabel);
  for (size_t i = 0; i < a_sizetData; ++i) {
    std::fprintf(a_pfile, "%02x ", a_pbData[i]);
    if (i % 32 == 31) std::fputs("\r\n", a_pfile);
  }
}

bool IsZero(const void* a_pvData, size_t a_sizetData) {
  const unsigned char* pb = static_cast<const unsigned char*>(a_pvData);
  for (size_t i = 0; i < a_sizetData; ++i) {
    if (pb[i]) return false;
  }
  return true;
}

void WriteShare(FILE* a_pfile, const OsSyncGroup& a_ossyncgroup, const char* a_szPath) {
  const OsSyncPublic& ossyncpublic = a_ossyncgroup.ossyncpublic;
  std::fprintf(a_pfile, "OsSyncPublic(%s)\r\n", a_szPath);
  WriteRule(a_pfile, 48);
  std::fprintf(a_pfile, "u64Size.............%llu\r\n", static_cast<unsigned long long>(ossyncpublic.u64Size));
  std::fprintf(a_pfile, "u64OsSyncStruct.....%s\r\n", OsSyncStructWord(ossyncpublic.u64OsSyncStruct));
  std::fputs("\r\nOsSyncObject\r\n", a_pfile);
  for (int i = 0; i < OS_SYNC_OBJECT_COUNT; ++i) {
    const OsSyncObject& o = ossyncpublic.aossyncobject[i];
    if (IsZero(&o, sizeof o)) continue;
    std::fprintf(a_pfile, "%02d u64OsSyncMode.....%s\r\n", i, OsSyncModeWord(o.u64OsSyncMode));
    std::fprintf(a_pfile, "%02d u64Pid............%llu\r\n", i, static_cast<unsigned long long>(o.u64Pid));
    std::fprintf(a_pfile, "%02d u64Tid............%llu\r\n", i, static_cast<unsigned long long>(o.u64Tid));
    std::fprintf(a_pfile, "%02d u64Object.........0x%llx\r\n", i, static_cast<unsigned long long>(o.u64Object));
    std::fprintf(a_pfile, "%02d u64FlagIndex......%llu\r\n", i, static_cast<unsigned long long>(o.u64FlagIndex));
  }
  std::fputs("\r\nOsSyncFlag\r\n", a_pfile);
  for (int i = 0; i < OS_SYNC_FLAG_COUNT; ++i) {
    const OsSyncFlag& f = ossyncpublic.aossyncflag[i];
    if (IsZero(&f, sizeof f)) continue;
    char szName[OS_SYNC_NAME_SIZE];
    std::memcpy(szName, f.szName, sizeof szName);
    szName[sizeof szName - 1] = '\0';
    std::fprintf(a_pfile, "%02d u64OsSyncType.....%s\r\n", i, OsSyncTypeWord(f.u64OsSyncType));
    std::fprintf(a_pfile, "%02d szName............%s\r\n", i, szName);
    std::fprintf(a_pfile, "%02d u64ReferenceCount.%llu\r\n", i, static_cast<unsigned long long>(f.u64ReferenceCount));
    std::fprintf(a_pfile, "%02d vi64Condition.....%lld\r\n", i, static_cast<long long>(f.vi64Condition));
    std::fprintf(a_pfile, "%02d vi64ManualReset...%lld\r\n", i, static_cast<long long>(f.vi64ManualReset));
    std::fprintf(a_pfile, "%02d vu64Mutex.........%llu\r\n", i, static_cast<unsigned long long>(f.vu64Mutex));
  }
  std::fputs("\r\nOsSyncPrivate\r\n", a_pfile);
  WriteBytes(a_pfile, "pthreadmutext", a_ossyncgroup.ossyncprivate.pthreadmutext.ab, 128);
  WriteBytes(a_pfile, "pthreadcondt", a_ossyncgroup.ossyncprivate.pthreadcondt.ab, 128);
}
}  // namespace

void COsSyncImpl::Dump() {
  FILE* pfile = OpenDumpFile("ossync.txt");
  if (!pfile) {
    OsLog(OS_LOG_ERROR, "sync>>> unable to dump ossync.txt file...");
    return;
  }
  for (const OsSyncDumpStruct& ossyncdumpstruct : s_aStructs) {
    std::fprintf(pfile, "%s(%d)\r\n", ossyncdumpstruct.szName, static_cast<int>(ossyncdumpstruct.sizetSize));
    WriteRule(pfile, 32);
    for (size_t i = 0; i < ossyncdumpstruct.sizetFields; ++i) {
      const OsSyncDumpField& field = ossyncdumpstruct.pfield[i];
      WriteLabel(pfile, field.szName);
      std::fprintf(pfile, "%5d %5d", static_cast<int>(field.sizetOffset), static_cast<int>(field.sizetSize));
      if (field.sizetCount) {
        std::fprintf(pfile, "[%d][%d]", static_cast<int>(field.sizetCount),
                     static_cast<int>(field.sizetSize / field.sizetCount));
      }
      std::fputs("\r\n", pfile);
    }
    std::fputs("\r\n", pfile);
  }
  std::fclose(pfile);
}

void COsSyncImpl::DumpShare(const char* a_szLabel) {
  static int s_iCounter = 0;
  int iCounter = __atomic_add_fetch(&s_iCounter, 1, __ATOMIC_RELAXED);
  char szFile[OS_SYNC_NAME_SIZE];
  bool blLabel = a_szLabel && *a_szLabel;
  // The label is part of a file name: it must not leave the directory.
  if ((blLabel && std::strchr(a_szLabel, '/')) ||
      COsString::SStrPrintf(szFile, sizeof szFile, blLabel ? "ossync%03d_%s.txt" : "ossync%03d%s.txt", iCounter,
                            blLabel ? a_szLabel : "") < 0) {
    OsLog(OS_LOG_ASSERT, "sync>>> bad label...<%s>", a_szLabel);
    return;
  }
  FILE* pfile = OpenDumpFile(szFile);
  if (!pfile) {
    OsLog(OS_LOG_ERROR, "unable to dump ossync.txt file...");
    return;
  }
  if (!m_possyncgroup) {
    std::fputs("We don't have a pointer to a group object...\r\n", pfile);
  } else {
    // A snapshot: a dump must not wait on a block that someone holds.
    OsSyncGroup ossyncgroup;
    std::memcpy(static_cast<void*>(&ossyncgroup), static_cast<const void*>(m_possyncgroup), sizeof ossyncgroup);
    WriteShare(pfile, ossyncgroup, m_szObjectPath);
  }
  std::fclose(pfile);
}
