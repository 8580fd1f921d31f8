// The set tests' fixture: the driver core on an opened simulated scanner,
// with set and setmany tasks built from their parts and the values they
// leave read back. Every task must leave the application's state bit clear.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "db_cdbdatum.h"
#include "drv_opened_fixture.h"

namespace drvtest {

class DrvSetFixture : public DrvOpenedFixture {
 protected:
  // One set task, run as the driver runs it.
  Reply Set(const std::string& a_strBody) {
    const Reply reply = Run(Task("<set>" + a_strBody + "</set>"));
    EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_APPLICATION), 0) << a_strBody.substr(0, 80);
    EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
    return reply;
  }
  // A setmany task of sets, each given by its body.
  Reply Setmany(const std::vector<std::string>& a_vecBodies) {
    std::string strSetmany = "<setmany>";
    for (const std::string& strBody : a_vecBodies) strSetmany += "<set>" + strBody + "</set>";
    const Reply reply = Run(Task(strSetmany + "</setmany>"));
    EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_APPLICATION), 0);
    return reply;
  }
  // A set that is refused: a whole reply of that status without reports,
  // and its log line.
  void ExpectRefused(const std::string& a_strBody, const std::string& a_strStatus, const std::string& a_strLog) {
    SCOPED_TRACE(a_strBody.substr(0, 160));
    const Reply reply = Set(a_strBody);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, a_strStatus);
    EXPECT_TRUE(Reports(reply.strText).empty());
    EXPECT_TRUE(m_plog->Contains(a_strLog)) << a_strLog;
  }
  static std::string Body(const std::string& a_strId, const std::string& a_strValue,
                          const std::string& a_strMore = "") {
    return "<id>" + a_strId + "</id><valuecurrent>" + a_strValue + "</valuecurrent>" + a_strMore;
  }
  Reply SetValue(const std::string& a_strId, const std::string& a_strValue, const std::string& a_strMore = "") {
    return Set(Body(a_strId, a_strValue, a_strMore));
  }
  static std::string Enum(const std::vector<std::string>& a_vecValues) {
    std::string str = "<enum>";
    for (const std::string& strValue : a_vecValues) str += "<value>" + strValue + "</value>";
    return str + "</enum>";
  }
  static std::string Range(const std::string& a_strMin, const std::string& a_strMax, const std::string& a_strStep) {
    return "<range><rangemin>" + a_strMin + "</rangemin><rangemax>" + a_strMax + "</rangemax><rangestep>" +
           a_strStep + "</rangestep></range>";
  }
  static std::string List(const std::vector<std::string>& a_vecTags) {
    std::string str = "<id>windowenabledlist</id><list>";
    for (const std::string& strTag : a_vecTags) str += "<value>" + strTag + "</value>";
    return str + "</list>";
  }
  // The current value a get shows, "" when the get fails.
  std::string Current(const std::string& a_strId) {
    const std::vector<std::string> vec = All(Get(a_strId).strText, "valuecurrent");
    return vec.empty() ? "" : vec[0];
  }
  // The current list a get shows.
  std::vector<std::string> CurrentList(const std::string& a_strId) {
    const std::string strText = Get(a_strId).strText;
    return All(strText.substr(0, strText.find("<reportenumdefault>")), "value");
  }
  long Value(EDBBIN a_edbbin, EDBID a_edbid) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(a_edbbin, a_edbid);
    EXPECT_NE(pdbdatum, nullptr) << a_edbid;
    return pdbdatum ? pdbdatum->GetCurrentLongNoCallback() : -1;
  }
  CDbDatum* Machine(EDBID a_edbid) { return m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid); }
  // The ids of the current reports of a reply, in order.
  std::vector<std::string> ReportedIds(const std::string& a_strText) {
    std::vector<std::string> vec;
    std::regex regex("<report(?:enum|range|string)>\n\t+<id>([a-z0-9]+)</id>");
    for (std::sregex_iterator it(a_strText.begin(), a_strText.end(), regex), end; it != end; ++it)
      vec.push_back((*it)[1]);
    return vec;
  }
  // The four camera bins of imagedeskew (automatic deskew), as "1" off and "2" on.
  std::string Deskew() {
    std::string str;
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR})
      str += std::to_string(Value(edbbin, DB_ID_AUTOMATICDESKEW));
    return str;
  }
};

}  // namespace drvtest
