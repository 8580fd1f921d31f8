// What the front end's profile commands and the settings GUI's agree on:
// the ids the commands take, and how a flag argument ("saveimages",
// "sharedsettings") is read. Each side keeps its own answers and log lines.
#pragma once

#include <cstdint>

enum EDRVPROFILEID : int32_t {
  DRV_PROFILEID_OTHER = 0,
  DRV_PROFILEID_PROFILE = 1,      // "profile": create, rename, destroy, the GUI's selection
  DRV_PROFILEID_PROFILELIST = 2,  // "profilelist": import, export, reset
  DRV_PROFILEID_QVLOG = 3,        // "qvlog": export of the log archive
};

// The id a command names; DRV_PROFILEID_OTHER for a null, empty or unknown
// one (compared whole and case-sensitive).
EDRVPROFILEID DrvProfileId(const char* a_szId);

// A flag argument is set by the text "true" alone.
bool DrvProfileFlag(const char* a_szText);
