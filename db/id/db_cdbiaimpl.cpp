// The implementation of the image-address rules.
#include "db_cdbiaimpl.h"

CDbIaImpl::CDbIaImpl(CDatabase* a_pdatabase) : m_pdatabase(a_pdatabase) {}
