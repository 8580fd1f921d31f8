// A data file's text of fixed capacity, built in pieces: a piece goes in
// whole or not at all (logged), so what is written never ends mid-element;
// element texts are escaped.
#pragma once

#include <cstddef>

class CDevDataText {
 public:
  // a_sizetReserve: kept free for the closing piece (AppendClosing).
  CDevDataText(size_t a_sizetCapacity, size_t a_sizetReserve);
  ~CDevDataText();
  CDevDataText(const CDevDataText&) = delete;
  CDevDataText& operator=(const CDevDataText&) = delete;

  // False when the buffer could not be allocated ("OsMemAlloc failed...").
  bool IsValid() const { return m_pszText != nullptr; }
  const char* Text() const { return m_pszText ? m_pszText : ""; }
  size_t Length() const { return m_sizetLength; }

  // The pieces, one after the other, as one piece; a_szWhat names it in the
  // log when it is left out.
  bool Append(const char* a_szWhat, const char* const* a_apszPiece, size_t a_sizetPieces);
  bool Append(const char* a_szPiece) { return Append(a_szPiece, &a_szPiece, 1); }
  // "\t<name>text</name>\n" with "&", "<" and ">" of the text escaped.
  bool AppendElement(const char* a_szName, const char* a_szText);
  // The closing piece, into the room kept for it.
  bool AppendClosing(const char* a_szPiece);

  // The text with "&", "<" and ">" as entities; false (empty) when it does
  // not fit.
  static bool Escape(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);

 private:
  bool Fits(size_t a_sizetBytes, size_t a_sizetReserve) const;
  void Put(const char* a_sz);

  char* m_pszText = nullptr;
  size_t m_sizetCapacity = 0;  // bytes, the terminating zero included
  size_t m_sizetReserve = 0;
  size_t m_sizetLength = 0;
};
