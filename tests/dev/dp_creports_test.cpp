// The report parsers: canned replies, each one a short reply text that
// xmllint reads, dispatched against the kind of target its task passes,
// with the change each one makes (or the failure it gives) and its log line.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dev_cdev.h"
#include "dp_dispatch_fixture.h"

namespace {

using dptest::Reply;

std::string El(const std::string& a_strName, const std::string& a_strContent) {
  return "<" + a_strName + ">" + a_strContent + "</" + a_strName + ">";
}
std::string Rep(const std::string& a_strReport, const std::string& a_strInner) {
  return "\t" + El(a_strReport, a_strInner) + "\n";
}
std::string DataFile(const std::string& a_strName) { return El("datafile", El("filename", a_strName)); }
std::string Numbered(const char* a_szPrefix, int a_i) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%s%02d", a_szPrefix, a_i);
  return sz;
}

// An inquiry the model configuration reads: the sheet, the cameras and one
// key of its own.
std::string Inquiry(const std::string& a_strKey) {
  return El("supported", El("id", a_strKey)) + El("range", El("id", "sheetheight") + El("rangemax", "13200")) +
         El("range", El("id", "sheetwidth") + El("rangemax", "10200")) +
         El("enum", El("id", "cameratype") + El("value", "front"));
}

class DpReports : public dptest::DispatchFixture {
 protected:
  void TearDown() override {
    if (m_devicelog.pcData) OsMemFree(m_devicelog.pcData);
    DispatchFixture::TearDown();
  }

  std::vector<long> Items(EDBID a_edbid) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid);
    std::vector<long> vl;
    for (long l = 0; l < m_pdatabase->EnumGetCurrentItemCount(pdbdatum); ++l) {
      vl.push_back(m_pdatabase->EnumGetCurrentItem(pdbdatum, l));
    }
    return vl;
  }
  // A further file name of the log record; "-" past the end of its table.
  std::string LogName(int a_iSlot) {
    const long lOffset = m_devicelog.alFileOffset[a_iSlot];
    if (lOffset < 0) return "-";
    EXPECT_LT(static_cast<size_t>(lOffset), m_devicelog.sizetCapacity);
    return m_devicelog.pcData + lOffset;
  }
  bool LogRecordIsEmpty() {
    return std::string(reinterpret_cast<const char*>(&m_devicelog), sizeof m_devicelog) ==
           std::string(sizeof m_devicelog, '\0');
  }
  void ResetLog() {
    if (m_devicelog.pcData) OsMemFree(m_devicelog.pcData);
    m_devicelog = {};
  }
  int64_t Number(const char* a_szKey) { return m_pdatabase->ConfigGetNumber(a_szKey, DB_CONFIGTARGET_COMMON); }
  const DbSimulationRecord& Sim() { return *m_pdatabase->GetSimulationRecord(); }

  DeviceLog m_devicelog = {};
};

TEST_F(DpReports, CannedReplies) {
  dbtest::CallbackProbe probe;
  CDev dev(nullptr, nullptr, nullptr);
  const std::string str511(511, 'n'), str512(512, 'n'), str5000(5000, 'n');
  const std::string strLong(3500, 'p');  // twenty of them pack 70,000 bytes
  std::string strModels, strFlatbeds, strFlags, strLogFiles = DataFile("first.log"), strPacked = DataFile("first");
  for (int i = 0; i < 11; ++i) strModels += El("simmodel", Numbered("model", i));
  for (int i = 0; i < 6; ++i) strFlatbeds += El("simflatbed", Numbered("flatbed", i));
  for (int i = 0; i < 40; ++i) {
    strFlags +=
        El("simflag", El("id", Numbered("flag", i)) + El("value", Numbered("v", i)) + El("text", Numbered("t", i)));
  }
  for (int i = 0; i < 65; ++i) strLogFiles += DataFile(Numbered("f", i));
  for (int i = 0; i < 20; ++i) strPacked += DataFile(strLong + Numbered("-", i));
  strPacked += DataFile("tail");
  const auto fnCartridge = [&](const std::string& a_strPrinters) {
    return Reply("success", Rep("reportcartridgedetected", a_strPrinters));
  };
  const auto fnPrinter = [](const std::string& a_strName) { return El("printer", El("value", a_strName)); };
  const auto fnDiagnostic = [](const std::string& a_strInner) {
    return Reply("success", Rep("reportdiagnostic", a_strInner));
  };
  const auto fnSimulate = [](const std::string& a_strInner) {
    return Reply("success", Rep("reportinterfaceopen", El("simulate", a_strInner)));
  };
  const auto fnReport = [](const char* a_szReport, const char* a_szElement, const std::string& a_strContent) {
    return Reply("success", Rep(a_szReport, El(a_szElement, a_strContent)));
  };
  const auto fnInquiry = [](const std::string& a_strContent) {
    return Reply("success", Rep("reportinquiry", a_strContent));
  };

  const struct {
    const char* szWhat;
    std::string strReply;
    bool blLogRecord;  // the target: the log record, else the database
    bool blInterfaceOpen;
    int iCode;
    std::function<void()> fnPrepare;
    std::function<void()> fnCheck;
    const char* szLog;
  } s_arow[] = {
      // Cartridges: the list is rebuilt by each reply.
      {"cartridges: none found", fnCartridge(""), false, false, 0,
       [&] { Offer(DB_ID_CARTRIDGEDETECTED, DB_ACCESS_READONLY, {2, 1, 3, 4, 5}); },
       [&] { EXPECT_EQ(Items(DB_ID_CARTRIDGEDETECTED), std::vector<long>{DB_ID_CARTRIDGEDETECTED_ENUM_NONE}); },
       nullptr},
      {"cartridges: two printers", fnCartridge(fnPrinter("preimagefront") + fnPrinter("postimagerear")), false, false,
       0,
       nullptr,
       [&] {
         EXPECT_EQ(Items(DB_ID_CARTRIDGEDETECTED), (std::vector<long>{DB_ID_CARTRIDGEDETECTED_ENUM_PREIMAGEFRONT,
                                                                      DB_ID_CARTRIDGEDETECTED_ENUM_POSTIMAGEREAR}));
       },
       nullptr},
      {"cartridges: an unknown printer fails", fnCartridge(fnPrinter("preimagefront") + fnPrinter("sideimage")), false,
       false, 1, nullptr,
       [&] {
         EXPECT_EQ(Items(DB_ID_CARTRIDGEDETECTED), std::vector<long>{DB_ID_CARTRIDGEDETECTED_ENUM_PREIMAGEFRONT});
       },
       "pdblookupenum is NULL 39"},
      {"cartridges: an empty printer value fails", fnCartridge(fnPrinter("")), false, false, 1, nullptr,
       [&] { EXPECT_TRUE(Items(DB_ID_CARTRIDGEDETECTED).empty()); }, "pdblookupenum is NULL 39"},
      {"cartridges: a scanner without them fails", fnCartridge(fnPrinter("preimagefront")), false, false, 1,
       [&] {
         m_pdatabase->SetAccess(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_CARTRIDGEDETECTED),
                                DB_ACCESS_NOTSUPPORTED);
       },
       [&] { EXPECT_TRUE(Items(DB_ID_CARTRIDGEDETECTED).empty()); }, "hdbdatum is NULL: DB_ID_CARTRIDGEDETECTED"},

      // Logs: the first data file names the record's file, the others are packed.
      {"log: two data files",
       Reply("success", Rep("reportlog", El("logtype", "activity") + DataFile("first.log") + DataFile("second.log"))),
       true, false, 0, nullptr,
       [&] {
         EXPECT_STREQ(m_devicelog.szLogType, "activity");
         EXPECT_STREQ(m_devicelog.szFilename, "first.log");
         EXPECT_EQ(m_devicelog.alFileOffset[0], 0);
         EXPECT_EQ(LogName(0), "second.log");
         EXPECT_EQ(LogName(1), "-");
         EXPECT_GE(m_devicelog.sizetCapacity, 65536u);
       },
       nullptr},
      {"log: 64 further names fill the table, the 65th fails", Reply("success", Rep("reportlog", strLogFiles)), true,
       false, 1, nullptr,
       [&] {
         EXPECT_STREQ(m_devicelog.szFilename, "first.log");
         for (int i = 0; i < DEV_LOG_FILES; ++i) {
           EXPECT_EQ(LogName(i), Numbered("f", i));
           EXPECT_EQ(m_devicelog.alFileOffset[i], 4 * i);
         }
       },
       "Array overflow for the enumeration 64...<f64>"},
      {"log: 70,000 bytes of names, those beyond the buffer dropped", Reply("success", Rep("reportlog", strPacked)),
       true, false, 0, nullptr,
       [&] {
         EXPECT_STREQ(m_devicelog.szFilename, "first");
         for (int i = 0; i < 18; ++i) {
           EXPECT_EQ(m_devicelog.alFileOffset[i], 3504 * i);
           EXPECT_EQ(LogName(i), strLong + Numbered("-", i));
         }
         EXPECT_EQ(LogName(18), "tail");
         EXPECT_EQ(LogName(19), "-");
       },
       "no room for the name of data file 18, 63072 of 65536 bytes used: dropped"},
      {"log: a data file without a filename is skipped",
       Reply("success", Rep("reportlog", El("datafile", El("datasize", "5")) + DataFile("a") + DataFile("b"))), true,
       false, 0, nullptr,
       [&] {
         EXPECT_STREQ(m_devicelog.szFilename, "a");
         EXPECT_EQ(LogName(0), "b");
         EXPECT_EQ(LogName(1), "-");
       },
       "a data file without a filename, skipped"},
      {"log: a file name of 511 characters fits", fnReport("reportlog", "filename", str511), true, false, 0, nullptr,
       [&] { EXPECT_EQ(m_devicelog.szFilename, str511); }, nullptr},
      {"log: one of 512 is cut", fnReport("reportlog", "filename", str512), true, false, 0, nullptr,
       [&] { EXPECT_EQ(m_devicelog.szFilename, str511); }, "<filename> too long, cut to 511 bytes"},
      {"log: one of 5,000 is cut", fnReport("reportlog", "logtype", str5000), true, false, 0, nullptr,
       [&] { EXPECT_EQ(m_devicelog.szLogType, str511); }, "<logtype> too long, cut to 511 bytes"},
      {"debug log: its file", fnReport("reportdebuglog", "logfilename", "/tmp/debug.log"), true, false, 0, nullptr,
       [&] { EXPECT_STREQ(m_devicelog.szFilename, "/tmp/debug.log"); }, nullptr},
      {"debug log: a long file name is cut", fnReport("reportdebuglog", "logfilename", str5000), true, false, 0,
       nullptr, [&] { EXPECT_EQ(m_devicelog.szFilename, str511); }, "<logfilename> too long, cut to 511 bytes"},

      // Diagnostics: the value of the diagnostic the reply names, as the scanner's.
      {"diagnostic: the value is set as the scanner's",
       fnDiagnostic(El("diagnostictype", "diagcoolingfan") + El("diagnosticvalue", "on")), false, false, 0,
       [&] {
         Offer(DB_ID_DIAGCOOLINGFAN, DB_ACCESS_READWRITE, {1, 2, 3});
         m_pdatabase->RegisterCallback(DB_CALLBACK_SETLONG, DB_ID_DIAGCOOLINGFAN, DB_BIN_MACHINE,
                                       dbtest::CallbackProbe::Callback, &probe);
       },
       [&] {
         EXPECT_EQ(Current(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_ON);
         EXPECT_GE(probe.iCalls, 1);
         EXPECT_TRUE(probe.blDeviceBit);
         EXPECT_FALSE(m_pdatabase->TestDbState(DB_STATE_DEVICEUPDATE));
       },
       nullptr},
      {"diagnostic: a cycling one keeps cycling",
       fnDiagnostic(El("diagnostictype", "diagcoolingfan") + El("diagnosticvalue", "off")), false, false, 0,
       [&] { m_pdatabase->ForceCurrentLong(m_pdatabase->Find(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_CYCLE); },
       [&] { EXPECT_EQ(Current(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_CYCLE); }, nullptr},
      {"diagnostic: an unknown type fails",
       fnDiagnostic(El("diagnostictype", "diagbogus") + El("diagnosticvalue", "on")), false, false, 1, nullptr, nullptr,
       "pdblookup2 is NULL diagbogus"},
      {"diagnostic: an unknown value fails",
       fnDiagnostic(El("diagnostictype", "diagcoolingfan") + El("diagnosticvalue", "sideways")), false, false, 1,
       [&] { m_pdatabase->ForceCurrentLong(m_pdatabase->Find(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_OFF); },
       [&] { EXPECT_EQ(Current(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_OFF); },
       "pdblookupenum is NULL sideways"},
      {"diagnostic: a capability the scanner lacks fails",
       fnDiagnostic(El("diagnostictype", "diagelevator") + El("diagnosticvalue", "up")), false, false, 1, nullptr,
       nullptr, "hdbdatum is NULL 61"},
      {"diagnostic: a current value without a name fails",
       fnDiagnostic(El("diagnostictype", "diagcoolingfan") + El("diagnosticvalue", "on")), false, false, 1,
       [&] { Offer(DB_ID_DIAGCOOLINGFAN, DB_ACCESS_READWRITE, {9}); },
       [&] { EXPECT_EQ(Current(DB_ID_DIAGCOOLINGFAN), 9); }, "pdblookupenum is NULL 60"},
      {"diagnostic: a value before any type is ignored",
       fnDiagnostic(El("diagnosticvalue", "on") + El("diagnostictype", "diagcoolingfan")), false, false, 0,
       [&] { m_pdatabase->ForceCurrentLong(m_pdatabase->Find(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_OFF); },
       [&] { EXPECT_EQ(Current(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_OFF); },
       "a diagnosticvalue before its diagnostictype, ignored...<on>"},
      {"diagnostic: the type of an earlier reply is not taken", fnDiagnostic(El("diagnosticvalue", "on")), false, false,
       0, nullptr, [&] { EXPECT_EQ(Current(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_OFF); },
       "a diagnosticvalue before its diagnostictype, ignored...<on>"},
      {"diagnostic: times as configuration numbers",
       fnDiagnostic(El("diagendtime", "2500") + El("diagruntimeout", "-7")), false, false, 0, nullptr,
       [&] {
         EXPECT_EQ(Number("diagendtime"), 2500);
         EXPECT_EQ(Number("diagruntimeout"), 0);
       },
       "<diagruntimeout> is negative, stored as 0...<-7>"},
      {"diagnostic: its data file into the log record",
       fnDiagnostic(El("filename", "diag.txt") + El("datafile", El("filename", "raster.bin") + El("datasize", "1234")) +
                    El("diagnostictype", "diagcoolingfan") + El("diagnosticvalue", "on")),
       true, false, 0, nullptr,
       [&] {
         EXPECT_STREQ(m_devicelog.szFilename, "raster.bin");
         EXPECT_EQ(m_devicelog.sizetData, 1234u);
         EXPECT_EQ(Current(DB_ID_DIAGCOOLINGFAN), DB_ID_DIAGCOOLINGFAN_ENUM_OFF);
       },
       "<diagnosticvalue> ignored: the reply is not read into the database"},

      // The simulation a device manager reports.
      {"interfaceopen: flatbeds are no models",
       fnSimulate(El("simulation", "true") + El("simflatbedintegrated", "flatbedx") + El("simflatbed", "FlatbedY") +
                  El("simmodel", "FlatbedX") + El("simmodel", "flatbedy") + El("simmodel", "mapleB")),
       false, false, 0, nullptr,
       [&] {
         EXPECT_STREQ(Sim().szSimulation, "true");
         EXPECT_STREQ(Sim().szFlatbedIntegrated, "flatbedx");
         EXPECT_STREQ(Sim().aszFlatbed[0], "FlatbedY");
         EXPECT_STREQ(Sim().aszModel[0], "mapleB");
         EXPECT_STREQ(Sim().aszModel[1], "");
       },
       nullptr},
      {"interfaceopen: 11 models keep 10, 6 flatbeds keep 5", fnSimulate(strFlatbeds + strModels), false, false, 0,
       nullptr,
       [&] {
         for (int i = 0; i < DB_SIM_MODELS; ++i) EXPECT_EQ(Sim().aszModel[i], Numbered("model", i));
         for (int i = 0; i < DB_SIM_FLATBEDS; ++i) EXPECT_EQ(Sim().aszFlatbed[i], Numbered("flatbed", i));
       },
       "Array overflow for <simmodel>, 10 entries at most: <model10> dropped"},
      {"interfaceopen: 40 flags keep 32, in order", fnSimulate(strFlags), false, false, 0, nullptr,
       [&] {
         for (int i = 0; i < DB_SIM_FLAGS; ++i) {
           EXPECT_EQ(Sim().adbsimflag[i].szId, Numbered("flag", i));
           EXPECT_EQ(Sim().adbsimflag[i].szValue, Numbered("v", i));
           EXPECT_EQ(Sim().adbsimflag[i].szText, Numbered("t", i));
         }
       },
       "more than 32 simflags, <flag32> dropped"},
      {"interfaceopen: a flag without an id is dropped",
       fnSimulate(El("simflag", El("value", "x") + El("text", "y")) +
                  El("simflag", El("id", "pages") + El("value", "3"))),
       false, false, 0, nullptr,
       [&] {
         EXPECT_STREQ(Sim().adbsimflag[0].szId, "pages");
         EXPECT_STREQ(Sim().adbsimflag[0].szValue, "3");
         EXPECT_STREQ(Sim().adbsimflag[0].szText, "");
         EXPECT_STREQ(Sim().adbsimflag[1].szId, "flag01");
       },
       "a simflag without an id, dropped...<x> <y>"},
      {"interfaceopen: long texts are cut to their fields",
       fnSimulate(El("simulation", str511) + El("simmodel", str5000) +
                  El("simflag", El("id", str512) + El("value", "v") + El("text", str5000))),
       false, false, 0, nullptr,
       [&] {
         EXPECT_EQ(Sim().szSimulation, std::string(63, 'n'));
         EXPECT_EQ(Sim().aszModel[0], std::string(254, 'n'));
         EXPECT_EQ(Sim().adbsimflag[0].szId, std::string(254, 'n'));
         EXPECT_EQ(Sim().adbsimflag[0].szText, std::string(1023, 'n'));
       },
       "<text> too long, cut to 1023 bytes"},

      // Configuration entries.
      {"lamps: the warm-up time", fnReport("reportlampstatus", "lampwarmuptime", "30"), false, false, 0, nullptr,
       [&] { EXPECT_EQ(Number("lampwarmuptime"), 30); }, nullptr},
      {"lamps: no digits is 0", fnReport("reportlampstatus", "lampwarmuptime", "abc"), false, false, 0, nullptr,
       [&] { EXPECT_EQ(Number("lampwarmuptime"), 0); }, "<lampwarmuptime> is no number, stored as 0...<abc>"},
      {"lamps: a negative time is 0", fnReport("reportlampstatus", "lampwarmuptime", "-5"), false, false, 0,
       [&] { m_pdatabase->ConfigSetNumber("lampwarmuptime", 99, DB_CONFIGTARGET_COMMON); },
       [&] { EXPECT_EQ(Number("lampwarmuptime"), 0); }, "<lampwarmuptime> is negative, stored as 0...<-5>"},
      {"scan end: the counters",
       Reply("success", Rep("reportscanend", El("multifeedcount", "3") + El("patchcountfront", "4") +
                                                 El("patchcountrear", "5"))),
       false, false, 0, nullptr,
       [&] {
         EXPECT_EQ(Number("multifeedcount"), 3);
         EXPECT_EQ(Number("patchcountfront"), 4);
         EXPECT_EQ(Number("patchcountrear"), 5);
       },
       nullptr},
      {"operator panel: the button", fnReport("reportocpbutton", "ocpbutton", "2"), false, false, 0, nullptr,
       [&] { EXPECT_EQ(Number("ocpbutton"), 2); }, nullptr},
      {"calibration end: the magnification results",
       Reply("success", Rep("reportcalibrateend", El("magnificationtestresultfront", "pass") +
                                                      El("magnificationtestresultrear", "fail 0.2%"))),
       false, false, 0, nullptr,
       [&] {
         EXPECT_EQ(Config("magnificationtestresultfront", DB_CONFIGTARGET_COMMON), "pass");
         EXPECT_EQ(Config("magnificationtestresultrear", DB_CONFIGTARGET_COMMON), "fail 0.2%");
       },
       nullptr},
      {"resource: a flatbed name of 600 characters is no directory",
       fnReport("reportresource", "flatbed", std::string(600, 'd')),
       false, false, 0, [&] { m_pdatabase->ConfigSetString("modeldirectoryflatbed", "old", DB_CONFIGTARGET_COMMON); },
       [&] { EXPECT_EQ(Config("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON), "old"); },
       "<modeldirectoryflatbed> is no directory name, ignored"},
      {"resource: an empty flatbed name is none", fnReport("reportresource", "flatbed", ""), false, false, 0, nullptr,
       [&] { EXPECT_EQ(Config("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON), "old"); },
       "<modeldirectoryflatbed> is no directory name, ignored...<>"},
      {"resource: the flatbed unit",
       Reply("success", Rep("reportresource", El("flatbed", "mapleCflatbed") +
                                                  El("resource", El("model", "flatbed") + El("devicetype", "usb") +
                                                                     El("devicefilename", "usb:001:004")))),
       false, false, 0, nullptr,
       [&] {
         EXPECT_EQ(Config("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON), "mapleCflatbed");
         EXPECT_EQ(Config("devicetypeflatbed", DB_CONFIGTARGET_COMMON), "usb");
         EXPECT_EQ(Config("devicefilenameflatbed", DB_CONFIGTARGET_COMMON), "usb:001:004");
       },
       nullptr},

      // Messages: buffer 0, for the task's caller.
      {"message: into buffer 0", fnReport("reportmessage", "text", "Insert the next batch"), false, false, 0, nullptr,
       [&] { EXPECT_STREQ(m_pdatabase->GetData(false), "<text>Insert the next batch</text>"); }, nullptr},
      {"setup end: into buffer 0", Reply("success", Rep("reportsetupend", "setup saved")), false, false, 0, nullptr,
       [&] {
         EXPECT_STREQ(m_pdatabase->GetData(false), "setup saved");
         EXPECT_EQ(m_pdatabase->GetData(true), nullptr);
       },
       nullptr},

      // The inquiry, kept for the unit in the slot of its kind of task.
      {"inquiry: of an interfaceopen", fnInquiry(Inquiry("fromopen")), false, true, 0, nullptr,
       [&] {
         EXPECT_FALSE(m_pdatabase->ConfigLoadReportInquiry(Inquiry("x").c_str(), 0, true, false, DB_FIRMWARE_ADF));
         EXPECT_TRUE(m_plog->Contains("adfinterfaceopen has already been loaded")) << m_plog->Text();
       },
       nullptr},
      {"inquiry: of another task", fnInquiry(Inquiry("fromquery")), false, false, 0, nullptr,
       [&] {
         EXPECT_FALSE(m_pdatabase->ConfigLoadReportInquiry(Inquiry("x").c_str(), 0, false, false, DB_FIRMWARE_ADF));
         EXPECT_TRUE(m_plog->Contains("adf has already been loaded")) << m_plog->Text();
         ASSERT_TRUE(m_pdatabase->ConfigProcessReportInquiry("mapleB", &dev)) << m_plog->Text();
         EXPECT_TRUE(m_pdatabase->ConfigExists("fromopen", DB_CONFIGTARGET_COMMON));
         EXPECT_TRUE(m_pdatabase->ConfigExists("fromquery", DB_CONFIGTARGET_COMMON));
       },
       nullptr},
      {"inquiry: one that does not read as XML inside fails",
       fnInquiry("<![CDATA[" + El("range", El("id", "a")) + "</rangemax>]]>"), false, false, 1, nullptr,
       [&] {
         EXPECT_TRUE(m_pdatabase->ConfigLoadReportInquiry(Inquiry("y").c_str(), 0, false, false, DB_FIRMWARE_ADF));
       },
       "the inquiry does not read as XML"},
      {"inquiry: an empty one fails", fnInquiry(""), false, false, 1, nullptr, nullptr,
       "ConfigLoadReportInquiry failed..."},

      // The reports of one capability record its id only.
      {"enum, range and string: the id alone",
       Reply("success", Rep("reportenum", El("id", "papersource") + El("value", "flatbed")) +
                            Rep("reportrange", El("id", "imagecount") + El("rangemin", "1")) +
                            Rep("reportstring", El("id", "bogus") + El("stringmaxlength", "4"))),
       false, false, 0, [&] { Offer(DB_ID_PAPERSOURCE, DB_ACCESS_READWRITE, {2, 3}); },
       [&] { EXPECT_EQ(Current(DB_ID_PAPERSOURCE), 2); }, "no capability is named <bogus>"},

      // A target of the other kind changes nothing.
      {"database elements under a log record",
       Reply("success", Rep("reportlampstatus", El("lampwarmuptime", "45")) + Rep("reportmessage", "ignored") +
                            Rep("reportinterfaceopen", El("simulate", El("simmodel", "ignored"))) +
                            Rep("reportinquiry", Inquiry("ignored"))),
       true, false, 0,
       [&] {
         ResetLog();
         m_pdatabase->ConfigSetNumber("lampwarmuptime", 7, DB_CONFIGTARGET_COMMON);
       },
       [&] {
         EXPECT_EQ(Number("lampwarmuptime"), 7);
         EXPECT_STREQ(m_pdatabase->GetData(false), "setup saved");
         EXPECT_STRNE(Sim().aszModel[0], "ignored");
         EXPECT_TRUE(LogRecordIsEmpty());
       },
       "<lampwarmuptime> ignored: the reply is not read into the database"},
      {"log elements under the database",
       Reply("success", Rep("reportlog", El("logtype", "x") + DataFile("a") + DataFile("b")) +
                            Rep("reportdebuglog", El("logfilename", "c")) +
                            Rep("reportdiagnostic", El("filename", "d"))),
       false, false, 0, nullptr,
       [&] { EXPECT_TRUE(LogRecordIsEmpty()); },
       "<logfilename> ignored: the reply is not read into a log record"},
  };

  // xmllint judges every fixture.
  std::vector<std::string> vstrArgv{"xmllint", "--noout"};
  for (size_t i = 0; i < std::size(s_arow); ++i) {
    vstrArgv.push_back(testsupport::RootPath("reply" + std::to_string(i) + ".xml"));
    testsupport::WriteFile(vstrArgv.back(), s_arow[i].strReply);
  }
  int iStatus = -1;
  const std::string strLint = testsupport::RunProgram(vstrArgv, &iStatus);
  EXPECT_EQ(iStatus, 0) << strLint;

  for (const auto& row : s_arow) {
    SCOPED_TRACE(row.szWhat);
    if (row.fnPrepare) row.fnPrepare();
    const size_t sizetLog = m_plog->Text().size();
    const DevDispatchTarget devdispatchtarget =
        row.blLogRecord ? DevDispatchTarget::Log(&m_devicelog) : DevDispatchTarget::Database(m_pdatabase.get());
    EXPECT_EQ(m_pdispatch->Process(row.strReply.c_str(), devdispatchtarget, row.blInterfaceOpen, DB_FIRMWARE_ADF),
              row.iCode);
    if (row.fnCheck) row.fnCheck();
    if (row.szLog) {
      const std::string strLog = m_plog->Text().substr(sizetLog);
      EXPECT_NE(strLog.find(row.szLog), std::string::npos) << strLog.substr(0, 4000);
    }
  }
}

}  // namespace
