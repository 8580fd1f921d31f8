// The colour-dropout choices a stand-in answers getecdo with: a built-in
// list of six (five of the scanner's kinds and one custom), or the lines of
// a file, which a test writes to shape the reply.
#pragma once

#include <string>
#include <vector>

class CSimNode;

class CSimEcdo {
 public:
  // The built-in list, or (a_strPath not empty) the file's lines: name,
  // text and algorithm, tab-separated, each field optional from the text on
  // (a missing text or an empty algorithm leaves its element out); empty
  // lines and lines beginning with "#" are skipped. False, with the reason,
  // for a file that cannot be read.
  bool Load(const std::string& a_strPath, std::string& a_strError);

  // The reportecdo element. A file's choices go out as they stand, whatever
  // the type; the built-in custom choice only for "all".
  void Report(CSimNode& a_simnodeReply, bool a_blAll) const;
  // The reportecdocustom element: name and text of each custom choice (an
  // algorithm other than the scanner's kinds); the element is returned.
  CSimNode& ReportCustom(CSimNode& a_simnodeReply) const;

 private:
  struct Choice {
    std::string strName;
    bool blText = false;
    std::string strText;
    std::string strAlgorithm;
    bool blCustom = false;
  };
  std::vector<Choice> m_vecchoice;
  bool m_blFile = false;
};
