// Texts that go into the tasks of the GUI bridge: caller, device and label
// texts escaped for the element they go in, and the magnification result
// filled into its label (a template, never a format).
#pragma once

#include <string>

// "&", "<" and ">" as entities; every other byte as it is.
std::string DrvGuiEscapeText(const char* a_szText);
// The text as one CDATA section, "]]>" split across two.
std::string DrvGuiCdata(const char* a_szText);
// The template with its first "%s" replaced by the text; every other "%"
// stays as it is (labels and configured texts are never formats).
std::string DrvGuiFillTemplate(const char* a_szTemplate, const char* a_szText);
// The label with "{0}" replaced by the front result and, when a_szRear is
// given, "{1}" by the rear one; false (logged) when a token is missing or
// the text grows too long.
bool DrvGuiMagnificationText(const char* a_szLabel, const char* a_szFront, const char* a_szRear,
                             std::string* a_pstrText);
