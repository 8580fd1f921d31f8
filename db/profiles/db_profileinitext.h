// The profile document of an INI profile of an earlier driver: its header
// (named, or an unnamed copy of all settings) and one value element per
// setting the file holds, in a fixed order. Values are read by position
// ("@0", "@1" ...) from the capability sections and by key from "Header".
#pragma once

#include <cstddef>

namespace dbprofileini {

// The document text, at most s_sizetText bytes: an append that does not
// fit fails the whole text rather than leave a cut document.
class IniText {
 public:
  static constexpr size_t s_sizetText = 0x10000;
  IniText();
  ~IniText();
  IniText(const IniText&) = delete;
  IniText& operator=(const IniText&) = delete;
  bool Allocated() const { return m_psz != nullptr; }
  void Add(const char* a_szFormat, ...) __attribute__((format(printf, 2, 3)));
  // A text that goes into an element: as is, in a CDATA section when it
  // holds "&", "<" or ">"; "]]>" or a control character fails the text.
  void AddValue(const char* a_szText);
  // A text that the template already wraps in a CDATA section.
  void AddCdata(const char* a_szText);
  void Fail(const char* a_szWhy);
  bool Failed() const { return m_blFailed; }
  const char* Text() const { return m_psz; }
  size_t Size() const { return m_sizet; }

 private:
  char* m_psz;
  size_t m_sizet;
  bool m_blFailed;
};

// The family of an unnamed profile from the scanner's model text.
const char* FamilyOfModel(const char* a_szModel);

// The whole document from the INI file; false (logged) when a value is
// too long for its field, a text cannot go into the document or the text
// does not fit.
bool BuildDocument(const char* a_szIni, const char* a_szDriverVersion, const char* a_szModel, IniText* a_initext);
// Each setting whose values come from a map: its lexicon name and the map.
void ForEachMappedSetting(void (*a_pfn)(const char* a_szLexicon, int a_iMap, void* a_pvUser), void* a_pvUser);

// Tests: a function called with the file's path once its header is read
// (null: none), to change the file in the middle of a conversion.
void SetReadSeam(void (*a_pfnSeam)(const char* a_szIni));

}  // namespace dbprofileini
