// The text the rules model (tests/tools/rulesmodel) reads and writes: the
// whole state of a database (every datum of every window with its raw
// fields, the notification tables, the state word, the window count, the
// last errors, the colour-dropout and colour-table lists with the dropout
// rules' cache and the override, and the lookup texts the colour rules
// repoint), its configuration records (with the user's profile directory)
// and its lookup records. One line each, blank-separated; texts
// percent-encoded so that a line never holds a blank of its own.
#pragma once

#include <cstdint>
#include <string>

class CDatabase;

namespace ruleslisting {

std::string State(CDatabase& a_database);
std::string Config(CDatabase& a_database);
std::string Lookup(CDatabase& a_database);

// CRC-32 of a text: the model hashes its own listing the same way.
uint32_t Hash(const std::string& a_strText);

// Bytes outside "!".."~" and "%" itself as %XX; an empty text as "%".
std::string Escape(const char* a_szText);
// Back: each %XX as its byte, "%" alone as the empty text.
std::string Unescape(const std::string& a_strText);

}  // namespace ruleslisting
