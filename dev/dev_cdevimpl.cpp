// The device implementation's session state.
#include "dev_cdevimpl.h"

CDevImpl::CDevImpl(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*))
    : m_blOnline(false) {}

CDevImpl::~CDevImpl() = default;

long CDevImpl::GetDeviceStatus() { return m_blOnline ? DEV_DEVICESTATUS_ONLINE : DEV_DEVICESTATUS_OFFLINE; }

void CDevImpl::SetDeviceOnline(bool a_blOnline) { m_blOnline = a_blOnline; }
