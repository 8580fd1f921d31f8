// The children of a GUI command, read one by one.
#pragma once

#include <functional>

class COsXml;

// Calls a_fn with each child's name and text, in order, while it answers
// true. A child whose name or text cannot be read whole (a text of
// a_lText bytes or more) is skipped, logged: its buffer would still hold
// the text read before it.
void DrvGuiEachChild(COsXml* a_posxml, long a_lText,
                     const std::function<bool(const char* a_szName, const char* a_szText)>& a_fn);

// The text of the current node into a_szText (a_lText bytes); false when
// it cannot be read whole (the buffer would still hold an older text).
bool DrvGuiNodeText(COsXml* a_posxml, char* a_szText, long a_lText);

// A range value as the GUI writes it: an optional "-" and decimal digits,
// nothing else, within 32 bits. False for anything else (logged).
bool DrvGuiReadRangeValue(const char* a_szText, long* a_plValue);
