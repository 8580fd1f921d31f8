// The override document's grammar and reader.
#include "drv_cdrvoverride.h"

namespace {
const char s_szOverrideGrammar[] =
    "<override enter='override.EnterOverride' exit='override.ExitOverride'>"
    "<documenttype enter='override.EnterDocumenttype'></documenttype>"
    "<ecdo enter='override.EnterEcdo'></ecdo>"
    "</override>";
}  // namespace

COverride::COverride() : m_szGrammar(s_szOverrideGrammar), m_blLoadGrammar(true) {}
