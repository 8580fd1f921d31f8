// The container behind a datum. A datum's container type names the table
// of operations it was made with, but a per-window copy carries its
// master's type while being a plain datum: before a container's operation
// is called through a datum, the object itself must be of that container.
#pragma once

#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"

namespace dbcontainer {

// The object's own class decides, as a dynamic_cast would, at the cost of
// a compare (the pass asks this of every datum).
template <class T, EDBCONTAINERTYPE Type>
T* As(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum || a_pdbdatum->GetContainerType() != Type || a_pdbdatum->GetObjectContainerType() != Type)
    return nullptr;
  return static_cast<T*>(a_pdbdatum);
}

inline CDbEnum* AsEnum(CDbDatum* a_pdbdatum) { return As<CDbEnum, DB_CONTAINERTYPE_ENUM>(a_pdbdatum); }
inline CDbRange* AsRange(CDbDatum* a_pdbdatum) { return As<CDbRange, DB_CONTAINERTYPE_RANGE>(a_pdbdatum); }
inline CDbString* AsString(CDbDatum* a_pdbdatum) { return As<CDbString, DB_CONTAINERTYPE_STRING>(a_pdbdatum); }

// Calls an operation every container has (a generic callable taking the
// container) through the container the datum was made with; false for a
// datum of none.
template <class Operation>
bool ByContainer(CDbDatum* a_pdbdatum, Operation a_operation) {
  if (CDbEnum* pdbenum = AsEnum(a_pdbdatum)) {
    a_operation(pdbenum);
    return true;
  }
  if (CDbString* pdbstring = AsString(a_pdbdatum)) {
    a_operation(pdbstring);
    return true;
  }
  if (CDbRange* pdbrange = AsRange(a_pdbdatum)) {
    a_operation(pdbrange);
    return true;
  }
  return false;
}

// The window-0 datum of the datum's id and bin, which holds the constraint;
// null when the slot is empty or the datum lies outside the table.
inline CDbDatum* Master(CDbDatum* a_pdbdatum) {
  DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  if (!a_pdbdatum || !pdatumcommon) return nullptr;
  const int iId = a_pdbdatum->GetId();
  const int iBin = a_pdbdatum->GetBin();
  if (iId < 0 || iId >= DB_ID_COUNT || iBin < 0 || iBin >= DB_BIN_COUNT) return nullptr;
  return pdatumcommon->apdbdatum[0][iId][iBin];
}

}  // namespace dbcontainer
