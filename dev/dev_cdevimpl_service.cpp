// The device object's pass-through of a task to a unit's libraries.
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"

// ---------------------------------------------------------------------------
// A task to a unit's device manager or image library, its reply passed back
// (null when the unit has none loaded).
// ---------------------------------------------------------------------------
const char* CDevImpl::ScannerEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  if (!pod.m_pdevdevice) return nullptr;
  return pod.m_pdevdevice->ScannerEntry(a_edbidfirmware, a_posxmltask, 0);
}

const char* CDevImpl::NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  if (!pod.m_pdevnexil) return nullptr;
  return pod.m_pdevnexil->NexEntry(a_edbidfirmware, a_posxmltask);
}
