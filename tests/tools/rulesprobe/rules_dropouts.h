// The probe's commands on the colour-dropout lists, which the device engine
// fills before the rules read them (until it does, the probe fills them):
//
//   ecdofill DEFAULT ALL          the lists from an image library's getecdo
//                                 reply (ALL where the model learns custom
//                                 dropouts, "ecdocustom"; only "(none)" while
//                                 ForceNexilOff is set), as the device engine
//                                 groups them; prints "ok MAIN CUSTOM"
//   ecdoclear                     both lists emptied
//   ecdorecord main|custom INDEX VALUE NAME FLATBED LABEL KIND
//                                 one record; each text (percent-encoded, "%"
//                                 empty) fills at most its field, a text of
//                                 the field's size without a terminator
//   ecdolearning TEXT             the dropout text of the learning settings
//   override DOC ECDO CUSTOM      the override record
//   ecdoload DEFAULT ALL          ECDO's load callback (camera 2): each call
//                                 fills the lists again as ecdofill does
//   ecdoloads                     prints "loads N", the callback's calls
//   reloadecdo                    CDatabase::ReloadEcdo
#pragma once

#include <string>
#include <vector>

class CDatabase;

namespace rulesdropouts {

// Runs one of the commands above; false when the command is none of them.
bool Run(CDatabase& a_database, const std::vector<std::string>& a_vecstr);

}  // namespace rulesdropouts
