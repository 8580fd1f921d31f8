// The database compiler: DbcEntry takes one compiler task (source, include
// and destination directories and a target) and turns the XML sources
// "database.dbc", "labels.dbc" and "lookup.dbc" (with what they include)
// into database.edres, labels.edres and lookup.edres. Symbolic names in the
// sources become numbers through "db_def.h" and "os_coslocale.h", read as
// text. One CDbc lives for one call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "os_cosxml.h"
#include "os_def.h"

// Exported with its plain name: one task text in, "<status>success</status>"
// or "<status>fail</status>" out (a static buffer, valid until the next call).
OS_EXPORT const char* DbcEntry(const char* a_szTask);

// Kind of a name-table entry.
enum EDBTAGTYPE : int {
  DB_TAGTYPE_NONE = 0,
  DB_TAGTYPE_ACCESS = 257,  // the built-in words, 257..271, value 0
  DB_TAGTYPE_DATATYPE = 258,
  DB_TAGTYPE_FAMILY = 259,
  DB_TAGTYPE_INTERFACE = 260,
  DB_TAGTYPE_SET = 261,
  DB_TAGTYPE_CURRENTVALUE = 262,
  DB_TAGTYPE_DEFAULTVALUE = 263,
  DB_TAGTYPE_CURRENTRANGE = 264,
  DB_TAGTYPE_DEFAULTRANGE = 265,
  DB_TAGTYPE_CURRENTENUM = 266,
  DB_TAGTYPE_DEFAULTENUM = 267,
  DB_TAGTYPE_CURRENTSTRING = 268,
  DB_TAGTYPE_DEFAULTSTRING = 269,
  DB_TAGTYPE_MAXSTRINGSIZE = 270,
  DB_TAGTYPE_DEVICEDATAWORD = 271,
  DB_TAGTYPE_EDBID = 513,          // DB_ID_ without "_ENUM_"
  DB_TAGTYPE_EDBBIN = 514,         // DB_BIN_
  DB_TAGTYPE_EDBCONTAINER = 515,   // DB_CONTAINERTYPE_
  DB_TAGTYPE_EDBDATATYPE = 516,    // DB_DATATYPE_
  DB_TAGTYPE_EDBACCESS = 517,      // DB_ACCESS_
  DB_TAGTYPE_ENUM = 518,           // DB_ID_..._ENUM_... and OS_LANGUAGE_
  DB_TAGTYPE_EDBDEVICEDATA = 519,  // DB_DEVICEDATA_
  DB_TAGTYPE_GROUP = 520,          // DB_GROUP_
  DB_TAGTYPE_BOOL = 770,           // TRUE and FALSE
};

// One name of a name table.
struct DbcTag {
  char szName[512];
  int64_t i64Value;
  EDBTAGTYPE edbtagtype;
};

// A text on the heap that grows by appending; sizetLimit (when not 0) is a
// hard ceiling that an append must not cross.
struct DbcText {
  char* psz;
  size_t sizetLength;
  size_t sizetCapacity;
  size_t sizetLimit;
};

// Work area of one container of the database source, per bin.
constexpr int s_iDbcBins = 6;
constexpr int s_iDbcListItems = 128;
constexpr size_t s_sizetDbcDefaultText = 1024;  // 1023 characters
constexpr int s_iDbcLanguages = 19;             // languages of the label table
struct DbcBin {
  int64_t i64Access;
  int64_t i64Default;
  int64_t ai64DefaultList[s_iDbcListItems];
  int iDefaultCount;
  int64_t ai64CurrentList[s_iDbcListItems];
  int iCurrentCount;
  int64_t i64RangeDefault;
  int64_t i64Min;
  int64_t i64Max;
  int64_t i64Step;
  int64_t i64MaxStringSize;
  char szDefault[s_sizetDbcDefaultText];
};
struct DbcContainer {
  int64_t i64Id;
  int64_t i64Bin;
  int64_t i64DataType;
  int64_t i64DeviceData;
  DbcBin adbcbin[s_iDbcBins];
};

// Every element handler of the three source grammars and the two merge
// grammars; each is reached through the static trampoline CDbc_<handler>.
#define DBC_HANDLERS(X)                                                                                          \
  X(DbEnterDb) X(DbExitDb) X(DbExitHeader) X(DbEnterContainer) X(DbExitEnum) X(DbExitRange) X(DbExitString)      \
  X(DbEnterBin) X(DbEnterAccess) X(DbEnterDefault) X(DbEnterDefaultenum) X(DbEnterCurrentenum)                   \
  X(DbEnterDefaultnum) X(DbEnterMin) X(DbEnterMax) X(DbEnterStep) X(DbEnterMaxstringsize)                        \
  X(DbEnterDefaultString)                                                                                        \
  X(EnterLookup) X(ExitLookup) X(EnterLookupItem) X(ExitLookupItem) X(EnterDbId) X(EnterLexiconId)               \
  X(EnterTwainGroup) X(EnterTwainLexicon) X(EnterEnum) X(ExitEnum) X(EnterDbIdEnum) X(EnterLexiconIdEnum)        \
  X(EnterLabelLabels) X(ExitLabelLabels) X(ExitLabelItem) X(EnterLabelLabel) X(EnterLabelComment)                \
  X(EnterLabelText)                                                                                              \
  X(MergeDbEnterDbId) X(MergeDbEnterHeader) X(MergeLanguageEnterItem)

class CDbc {
 public:
  CDbc();
  ~CDbc();
  CDbc(const CDbc&) = delete;
  CDbc& operator=(const CDbc&) = delete;

  // The whole call: the reply text (static, never null).
  const char* DbcEntry(const char* a_szTask);

  // The steps; each answers 0 on success.
  EOSSTS ParseTask(const char* a_szTask);
  EOSSTS Validate();
  EOSSTS LoadLookupTable();
  EOSSTS Compile();
  EOSSTS CompileDatabase();
  EOSSTS CompileLanguage();
  EOSSTS CompileLookup();
  // Reads a source and, recursively, the files its root's include attribute
  // names; the top-level file's text becomes the source text.
  EOSSTS OpenSource(const char* a_szFile, bool a_blTopLevel);
  // Folds the included files into the source text (root "db" or "labels").
  EOSSTS MergeSource(const char* a_szGrammar, const char* a_szRoot);

  // Name tables.
  int64_t LookupString(const char* a_szName);
  static int64_t LookupInTable(const std::vector<DbcTag>& a_vecdbctag, const char* a_szText);
  static EOSSTS LookupAddToTable(std::vector<DbcTag>& a_vecdbctag, size_t a_sizetCapacity, const char* a_szName,
                                 EDBTAGTYPE a_edbtagtype, int64_t a_i64Value);
  EOSSTS LoadLookupEnum(const char* a_szFile, const char* a_szPrefix, std::vector<DbcTag>& a_vecdbctag,
                        size_t a_sizetCapacity);
  EOSSTS LookupLoadCDatabase(const char* a_szFile);
  // The entry of a name in the sorted name table, or null.
  const DbcTag* FindTag(const char* a_szName) const;

  // A file's whole text (terminated); 0, 257 when it cannot be opened, 2
  // without memory, 259 on a short read.
  static EOSSTS ReadText(const char* a_szPath, DbcText* a_pdbctext);
  // Appends a counted piece; 0, or 2 (text unchanged) when there is no room.
  static EOSSTS AddString(DbcText* a_pdbctext, const char* a_pcPiece, size_t a_sizetPiece);
  static EOSSTS AddString(DbcText* a_pdbctext, const char* a_szPiece);
  static void FreeString(DbcText* a_pdbctext);

  // Capacities of the name tables and of the output.
  static constexpr size_t s_sizetTableEntries = 65536;
  static constexpr size_t s_sizetOutput = 2u << 20;

#define DBC_DECLARE(name) static EOSSTS CDbc_##name(OsXmlCallback* a_posxmlcallback);
  DBC_HANDLERS(DBC_DECLARE)
#undef DBC_DECLARE

 private:
#define DBC_DECLARE(name) EOSSTS name(OsXmlCallback* a_posxmlcallback);
  DBC_HANDLERS(DBC_DECLARE)
#undef DBC_DECLARE

  // The field of a task element and its size; null for an element the task
  // does not use.
  char* TaskField(const char* a_szName, size_t* a_psizetField);

  // The common course of one compilation: read, merge (root given), walk
  // the grammar over it into the output and write the output file.
  EOSSTS CompileOne(const char* a_szSource, const char* a_szMergeGrammar, const char* a_szMergeRoot,
                    const char* a_szGrammar, const char* a_szOutput, bool a_blFromFirstTag);
  EOSSTS WriteOutput(const char* a_szOutput);

  // The output text: appends fail (and say so once) beyond the 2 MiB buffer.
  EOSSTS Out(const char* a_szText);
  EOSSTS OutN(const char* a_pcText, size_t a_sizetText);
  EOSSTS Outf(const char* a_szFormat, ...) __attribute__((format(printf, 2, 3)));
  EOSSTS OutElement(const char* a_szElement, const char* a_szText);
  EOSSTS OutCdata(const char* a_szText);
  // The root of a counted document; the six-digit counts are written over
  // its placeholders at the end.
  EOSSTS OutRoot(const char* a_szRoot);
  EOSSTS PatchCounts();

  // The value of a name for a handler; false (the text printed, and logged
  // when a log format is given) when the table lacks it.
  bool Resolve(const char* a_szName, int64_t* a_pi64Value, const char* a_szPrint, const char* a_szLog = nullptr);
  static void Print(const char* a_szFormat, ...) __attribute__((format(printf, 1, 2)));
  // A property of the element of a callback: 0, 1 when it is missing, 2
  // (and logged) when it is too long.
  static EOSSTS GetProperty(OsXmlCallback* a_posxmlcallback, const char* a_szProperty, char* a_szValue,
                            size_t a_sizetValue);

  // Includes.
  EOSSTS OpenIncludesOf(COsXml* a_posxml, const char* a_szFile, const char* a_szReal);
  EOSSTS OpenIncludes(const char* a_szFile, char* a_szInclude);
  EOSSTS MergeCollect(COsXml* a_posxml, const char* a_szText, size_t a_sizetText);
  EOSSTS MergeKeep(const char* a_szKey, bool a_blRemove, bool* a_pblKeep);
  EOSSTS MergeWrite(OsXmlCallback* a_posxmlcallback, const char* a_szAttributes);
  EOSSTS MergeItem(OsXmlCallback* a_posxmlcallback, const char* a_szKey, const char* const* a_pszAttribute);

  // Lookup items.
  EOSSTS LookupField(OsXmlCallback* a_posxmlcallback, unsigned a_uField);
  EOSSTS LookupNameValue(const char* a_szName, const char* a_szNameElement, const char* a_szValueElement,
                         const char* a_szPrint);

  // Labels.
  EOSSTS LabelHeader();

  // Helpers of the database records.
  DbcBin* CurrentBin();
  EOSSTS DbAppendList(OsXmlCallback* a_posxmlcallback, bool a_blDefault);
  EOSSTS DbNumber(OsXmlCallback* a_posxmlcallback, int64_t DbcBin::*a_pi64Field);
  EOSSTS DbExitRecord(char a_cRecord);

  // The task.
  char m_szSource[512]{};
  char m_szInclude[512]{};
  char m_szDestination[512]{};
  char m_szTarget[32]{};
  char m_szOslib[512]{};
  bool m_blCompileLabels{};
  bool m_blCompileLookup{};
  bool m_blCompileDatabase{};

  // Name tables: the names of db_def.h and the built-in words, sorted by
  // name (letter case ignored) after loading; the languages of
  // os_coslocale.h.
  std::vector<DbcTag> m_vecdbctagLookup;
  std::vector<DbcTag> m_vecdbctagLanguage;

  // The source being compiled, the files it includes (full paths, comma
  // separated) and the chain of files being opened (for include cycles).
  DbcText m_dbctextSource{};
  DbcText m_dbctextIncludes{};
  std::vector<std::string> m_vecstrOpening;

  // Merging.
  int m_iMergePhase{};  // 1 collect, 2 select
  DbcText m_dbctextMerged{};
  DbcText m_dbctextMergeOutput{};
  std::vector<DbcTag> m_vecdbctagMergeKeys;

  // The output of the compilation that runs.
  DbcText m_dbctextOutput{};
  bool m_blOverflow{};
  int64_t m_i64Records{};
  int64_t m_i64Values{};

  // Database: names of bins and containers, and the current container.
  int64_t m_i64BinSearch{};
  int64_t m_i64BinLast{};
  int64_t m_i64ContainerEnum{};
  int64_t m_i64ContainerRange{};
  int64_t m_i64ContainerString{};
  int64_t m_i64BinMachine{};
  int64_t m_i64BinBitonalFront{};
  int64_t m_i64BinBitonalRear{};
  int64_t m_i64BinColorFront{};
  int64_t m_i64BinColorRear{};
  int64_t m_i64ContainerType{};
  DbcContainer m_dbccontainer{};

  // Lookup: the current item's fields and value counts.
  unsigned m_uFields{};
  int m_iItemValues{};
  int m_iItemLexicons{};

  // Labels: the current tag, the next language allowed, and per language
  // its byte count and text count.
  char m_szLabelTag[64]{};
  int m_iLanguageNext{};
  int64_t m_i64TagBytes{};
  int64_t m_ai64LanguageBytes[s_iDbcLanguages]{};
  int64_t m_ai64LanguageTexts[s_iDbcLanguages]{};
};
