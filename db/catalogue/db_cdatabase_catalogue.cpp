// The database object's catalogue levels: the machine, camera and window
// capabilities, made and deleted in the catalogue's row order.
#include "db_cdatabase.h"
#include "db_cdbcatalogue.h"

void CDatabase::NewMachine() { CDbCatalogue::NewLevel(DB_LEVEL_MACHINE); }

void CDatabase::NewCamera() { CDbCatalogue::NewLevel(DB_LEVEL_CAMERA); }

void CDatabase::NewWindow() { CDbCatalogue::NewLevel(DB_LEVEL_WINDOW); }

void CDatabase::DeleteMachine() { CDbCatalogue::DeleteLevel(DB_LEVEL_MACHINE); }

void CDatabase::DeleteCamera() { CDbCatalogue::DeleteLevel(DB_LEVEL_CAMERA); }

void CDatabase::DeleteWindow() { CDbCatalogue::DeleteLevel(DB_LEVEL_WINDOW); }
