// The image-address rules object: makes and deletes its implementation.
#include "db_cdbia.h"

#include "db_cdbiaimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

CDbIa::CDbIa(CDatabase* a_pdatabase) : m_pdbiaimpl(OsMemNew(CDbIaImpl, a_pdatabase)) {
  if (!m_pdbiaimpl) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

CDbIa::~CDbIa() { OsMemDelete(m_pdbiaimpl); }
