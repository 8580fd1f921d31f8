// The reader of a device-reply parser: an XML reader with the parser
// registered as "this" under its class name and its grammar loaded.
#pragma once

class COsXml;

// Null (logged) when the reader cannot be made or the grammar not loaded;
// the caller deletes it with OsMemDelete.
COsXml* DpNewGrammarReader(const char* a_szClassName, void* a_pvParser, const char* a_szGrammar);
