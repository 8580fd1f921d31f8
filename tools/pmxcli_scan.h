// pmxcli --scan: a batch scanned through the library's DriverEntry into
// TIFF and JPEG files, as a front end drives it.
#pragma once

#include <string>
#include <vector>

namespace pmxcli {

// The arguments after "--scan". Exit status: 0 the batch ended with
// "endofoutput", 2 it ended with another status word or a page could not be
// written (both printed), 1 usage or loading errors.
int ScanMain(const std::vector<std::string>& args, const std::string& defaultLibrary);

}  // namespace pmxcli
