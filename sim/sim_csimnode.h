// A small element tree for the simulated scanner: the command of a task is
// read into it (element names and leaf texts, CDATA unwrapped and the five
// predefined entities decoded), and the report elements of a reply are
// collected in it before the reply is written, so that the status word can
// come first whatever a handler decides last.
#pragma once

#include <string>
#include <vector>

class COsXml;
class COsXmlTask;

class CSimNode {
 public:
  CSimNode() = default;
  explicit CSimNode(std::string a_strName, std::string a_strText = std::string())
      : m_strName(std::move(a_strName)), m_strText(std::move(a_strText)) {}

  const std::string& Name() const { return m_strName; }
  const std::string& Text() const { return m_strText; }
  const std::vector<CSimNode>& Children() const { return m_vsimnode; }

  // The first child of that name, or null.
  const CSimNode* Child(const char* a_szName) const;
  // The text of the first child of that name; a_szDefault when there is none.
  const char* ChildText(const char* a_szName, const char* a_szDefault = "") const;

  // Appends a child and returns it (valid until the next Add on this node).
  CSimNode& Add(const char* a_szName, const std::string& a_strText = std::string());
  // Appends a ready-made child.
  void Add(CSimNode a_simnode) { m_vsimnode.push_back(std::move(a_simnode)); }
  // Appends one element of a report inquiry: a_szKind "enum" (a "value" per
  // word), "range" (the words are "rangemin" and "rangemax") or "supported"
  // (an "id" per word, and no id of its own: a_szId null).
  void AddInquiry(const char* a_szKind, const char* a_szId, const std::string& a_strValues);

  // Reads the element at the reader's cursor with everything below it.
  // False when an element name does not fit the name buffer.
  bool Read(COsXml& a_osxml, std::vector<char>& a_vcBuffer);
  // Writes this element as a command at a_iDepth (its children below it),
  // or, below a command, as one leaf argument when it has no children.
  void Write(COsXmlTask& a_osxmltask, int a_iDepth) const;

  // At least the bytes Write takes for this element and everything below
  // it, at any depth up to 64.
  size_t WrittenSizeBound() const;

  // The text an element content stands for: a CDATA wrapper dropped,
  // otherwise &amp; &lt; &gt; &apos; &quot; decoded.
  static std::string Decode(const char* a_szContent);
  // The text escaped for an element's content.
  static std::string Escape(const std::string& a_strText);
  // The blank-separated words of a list.
  static std::vector<std::string> Words(const std::string& a_strList);
  // A text of decimal digits only, within the bounds.
  static bool Number(const std::string& a_strText, long a_lMin, long a_lMax, long& a_lValue);

 private:
  std::string m_strName;
  std::string m_strText;
  std::vector<CSimNode> m_vsimnode;
};
