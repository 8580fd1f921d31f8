// The catalogue against the lookup the build compiles into the library:
// every capability's name in task messages finds it, and loading the lookup
// binds every object of the catalogue to its capability's record, which
// stand in the catalogue's order.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "../../os/log_capture.h"
#include "db_cdatabase.h"
#include "db_cdbcatalogue.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace {

// Each capability's name in task messages as the capability tables give it;
// empty where it has none.
struct TaskName {
  EDBID edbid;
  const char* szName;
};
const TaskName s_ataskname[] = {
    {DB_ID_ACDLEARNMODE, ""}, {DB_ID_ADDBORDER, "addborder"}, {DB_ID_ADFTIMEOUTENABLED, "adftimeoutenabled"},
    {DB_ID_ADFUNIQUE, "adfunique"}, {DB_ID_ALARMVOLUME, "alarmvolume"}, {DB_ID_AUTOCOLORAMOUNT, "autocoloramount"},
    {DB_ID_AUTOCOLORCONTENT, "autocolorcontent"}, {DB_ID_AUTOCOLORTHRESHOLD, "autocolorthreshold"},
    {DB_ID_AUTOMATICDESKEW, "imagedeskew"}, {DB_ID_AUTOSCAN, "paperondemand"}, {DB_ID_BACKGROUND, "background"},
    {DB_ID_BACKGROUNDADJUSTAGGRESSIVENESS, "backgroundadjustaggressiveness"},
    {DB_ID_BACKGROUNDADJUSTAPPLYTO, "backgroundadjustapplyto"}, {DB_ID_BACKGROUNDADJUSTMODE, "backgroundadjustmode"},
    {DB_ID_BACKGROUNDPLATEN, "backgroundflatbed"}, {DB_ID_BARCODECOUNT, "barcodecount"},
    {DB_ID_BARCODEENABLE, "barcodeenable"}, {DB_ID_BARCODEENHANCEMENT, "barcodeenhancement"},
    {DB_ID_BARCODESEARCHAREA, "barcodesearcharea"}, {DB_ID_BARCODESEARCHREGIONHEIGHT, "barcodesearchregionheight"},
    {DB_ID_BARCODESEARCHREGIONOFFSETX, "barcodesearchregionoffsetx"},
    {DB_ID_BARCODESEARCHREGIONOFFSETY, "barcodesearchregionoffsety"},
    {DB_ID_BARCODESEARCHREGIONWIDTH, "barcodesearchregionwidth"}, {DB_ID_BARCODESEARCHMODE, "barcodesearchmode"},
    {DB_ID_BARCODETYPE, "barcodetype"}, {DB_ID_BATCHCOUNT, "batchcount"},
    {DB_ID_BATCHCOUNTENABLED, "batchcountenabled"}, {DB_ID_BATCHENDFUNCTION, "batchendfunction"},
    {DB_ID_BATCHLEVEL, "batchlevel"}, {DB_ID_BATCHSTARTFUNCTION, "batchstartfunction"},
    {DB_ID_BLANKPAGECONTENT, "blankimagecontent"}, {DB_ID_BLANKPAGEMODE, "blankimagemode"},
    {DB_ID_BLANKPAGESIZE, "blankimagesize"}, {DB_ID_BRIGHTNESS, "colorbrightness"},
    {DB_ID_CALIBRATEKEEPIMAGE, "calibrationsavedata"}, {DB_ID_CALIBRATIONDIRECTORY, "calibrationdirectory"},
    {DB_ID_CALIBRATIONTYPE, "calibrationtype"}, {DB_ID_CAMERAENABLE, "windowenabled"},
    {DB_ID_CARTRIDGEDETECTED, "printer"}, {DB_ID_CHECKDIGIT, "iacheckdigit"},
    {DB_ID_COLORBALANCEAUTOMATICAGGRESSIVENESS, "colorbalanceautomaticaggressiveness"},
    {DB_ID_COLORBALANCEBLUE, "colorbalanceblue"}, {DB_ID_COLORBALANCEGREEN, "colorbalancegreen"},
    {DB_ID_COLORBALANCEMODE, "colorbalancemode"}, {DB_ID_COLORBALANCERED, "colorbalancered"},
    {DB_ID_COLORBRIGHTNESSMODE, "colorbrightnessmode"}, {DB_ID_COLOROUTPUTROMM, "coloroutputromm"},
    {DB_ID_COLORSHARPEN, "colorsharpen"}, {DB_ID_COLORTABLE, "colortable"}, {DB_ID_COLORTABLEDEFAULT, ""},
    {DB_ID_COMPRESSION, "compressionmode"}, {DB_ID_CONTRAST, "contrast"}, {DB_ID_COUNTONLYMODE, "countonlymode"},
    {DB_ID_CROPPINGMODE, "imagecroppingmode"}, {DB_ID_DEVICEDLL, ""}, {DB_ID_DEVICEONLINE, "deviceonline"},
    {DB_ID_DIAGBACKGROUNDFRONT, "diagbackgroundfront"}, {DB_ID_DIAGBACKGROUNDREAR, "diagbackgroundrear"},
    {DB_ID_DIAGCLEANMODE, "diagcleanmode"}, {DB_ID_DIAGCOOLINGFAN, "diagcoolingfan"},
    {DB_ID_DIAGELEVATOR, "diagelevator"}, {DB_ID_DIAGFEEDERCLUTCH, "diagfeederclutch"},
    {DB_ID_DIAGFLATBED, "diagflatbed"}, {DB_ID_DIAGFRONTLAMPS, "diaglampfront"},
    {DB_ID_DIAGIMAGETEST, "diagimagetest"}, {DB_ID_DIAGLOCKCAMERA, "diaglockcamera"},
    {DB_ID_DIAGREAREXIT, "diagrearexit"}, {DB_ID_DIAGREARLAMPS, "diaglamprear"},
    {DB_ID_DIAGTRANSPORTMOTOR, "diagadfmotor"}, {DB_ID_DOCUMENTTYPE, "documenttype"},
    {DB_ID_DUALSTACKINGENABLED, "dualstackingenabled"}, {DB_ID_DUALSTACKINGLENGTHMODE, "dualstackinglengthmode"},
    {DB_ID_DUALSTACKINGLENGTH1, "dualstackinglength1"}, {DB_ID_DUALSTACKINGLENGTH2, "dualstackinglength2"},
    {DB_ID_DUALSTACKINGMULTIFEED, "dualstackingmultifeed"},
    {DB_ID_DUALSTACKINGPATCHTRANSFER, "dualstackingpatchtransfer"},
    {DB_ID_DUALSTACKINGPATCHTYPE1, "dualstackingpatchtype1"},
    {DB_ID_DUALSTACKINGPATCHTYPE2, "dualstackingpatchtype2"},
    {DB_ID_DUALSTACKINGPATCHTYPE3, "dualstackingpatchtype3"},
    {DB_ID_DUALSTACKINGPATCHTYPE4, "dualstackingpatchtype4"},
    {DB_ID_DUALSTACKINGPATCHTYPE6, "dualstackingpatchtype6"}, {DB_ID_DUALSTACKINGSTACK, "dualstackingstack"},
    {DB_ID_ECDO, "ecdo"}, {DB_ID_ECDOAGGRESSIVENESS, "ecdoaggressiveness"}, {DB_ID_ECDOCUSTOM, "ecdocustom"},
    {DB_ID_ECDOCUSTOMCLEARDATA, "ecdocustomcleardata"}, {DB_ID_ECDOCUSTOMLEARN, "ecdocustomlearn"},
    {DB_ID_ECDOTREATASCOLOR, "ecdotreatascolor"}, {DB_ID_ENERGYSTAR, "lowpowermodetimeout"},
    {DB_ID_FEEDERLOADED, "paperdetected"}, {DB_ID_FEEDERMODE, "adfhandling"},
    {DB_ID_FILTERBACKGROUND, "ecdobackground"}, {DB_ID_FILTERPROCESSING, "ecdoprocessing"},
    {DB_ID_FILTERTHRESHOLD, "ecdothreshold"}, {DB_ID_FIRMWARE, "firmware"},
    {DB_ID_FOREGROUNDBOLDNESSAGGRESSIVENESS, "foregroundboldnessaggressiveness"},
    {DB_ID_FOREGROUNDBOLDNESSMODE, "foregroundboldnessmode"}, {DB_ID_FRAMEHEIGHT, "imageheight"},
    {DB_ID_FRAMEWIDTH, "imagewidth"}, {DB_ID_FRAMEXOFFSET, "imageoffsetx"}, {DB_ID_FRAMEYOFFSET, "imageoffsety"},
    {DB_ID_FUNCTIONKEY1, "functionkey1"}, {DB_ID_FUNCTIONKEY2, "functionkey2"}, {DB_ID_FUNCTIONKEY3, "functionkey3"},
    {DB_ID_HALFTONES, "binarizationmode"}, {DB_ID_NEXIL, ""}, {DB_ID_HOLEFILLENABLED, "holefillenabled"},
    {DB_ID_IMAGEADDRESS, "iastarting"}, {DB_ID_IMAGEADDRESSSCANNER, "iascanner"},
    {DB_ID_IMAGEADDRESSTEMPLATES, "iatemplate"}, {DB_ID_IMAGEADDRESSTEMPLATES_PREV, "iatemplateprevious"},
    {DB_ID_IMAGEADDRESS_A, "iatemplatea"}, {DB_ID_IMAGEADDRESS_B, "iatemplateb"},
    {DB_ID_IMAGEADDRESS_C, "iatemplatec"}, {DB_ID_IMAGEADDRESS_D, "iatemplated"},
    {DB_ID_IMAGEEDGEBOTTOM, "edgefillbottom"}, {DB_ID_IMAGEEDGEFILL, "edgefill"},
    {DB_ID_IMAGEEDGEFILLALLSIDES, "edgefillallsides"}, {DB_ID_IMAGEEDGEFILLALLSIZE, "edgefillallsize"},
    {DB_ID_IMAGEEDGELEFT, "edgefillleft"}, {DB_ID_IMAGEEDGERIGHT, "edgefillright"},
    {DB_ID_IMAGEEDGETOP, "edgefilltop"}, {DB_ID_IMAGEFILTER, "filterimage"}, {DB_ID_IMAGEFORMAT, "imageformat"},
    {DB_ID_IMAGEMERGE, "imagemerge"}, {DB_ID_IMAGEPROCESSINGTEST, "imageprocessingtest"},
    {DB_ID_IMAGESDIFFERENT, "imagesdifferent"}, {DB_ID_IMAGESKEWANGLE, "imageskewangle"},
    {DB_ID_INDEXINGFORMAT, "indexingformat"}, {DB_ID_INDICATORS, "indicators"},
    {DB_ID_INDICATORSMODE, "indicatorsmode"}, {DB_ID_INDICATORSWARMUP, "indicatorswarmup"},
    {DB_ID_INPUTDOCUMENT, "inputdocument"}, {DB_ID_INTELLIGENTDOCUMENTPROTECTION, "intelligentdocumentprotection"},
    {DB_ID_JPEGQUALITY, "compressionjpegquality"}, {DB_ID_LANGUAGE, "language"},
    {DB_ID_LEVELTOFOLLOW1, "ialeveltofollow1"}, {DB_ID_LEVELTOFOLLOW2, "ialeveltofollow2"},
    {DB_ID_LEVELTOFOLLOW3, "ialeveltofollow3"}, {DB_ID_LOG, "logtype"},
    {DB_ID_LOWPOWERMODEUNIQUE, "lowpowermodeunique"}, {DB_ID_MAGNIFICATIONFRONTX, "magnificationfrontx"},
    {DB_ID_MAGNIFICATIONFRONTY, "magnificationfronty"}, {DB_ID_MAGNIFICATIONREARX, "magnificationrearx"},
    {DB_ID_MAGNIFICATIONREARY, "magnificationreary"}, {DB_ID_MEDIATYPE, "mediatype"},
    {DB_ID_METERFIRSTSCAN, "meterfirstscan"}, {DB_ID_METERLAMP, ""}, {DB_ID_METERLAMPFRONT, "meterlampfront"},
    {DB_ID_METERLAMPREAR, "meterlamprear"}, {DB_ID_METERPAGECOUNT, "meterpagecount"},
    {DB_ID_METERPAGECOUNTPLATEN, ""}, {DB_ID_METERPOWER, "meterpower"}, {DB_ID_METERTRANSPORT, "metertransport"},
    {DB_ID_MINIMUMHEIGHT, "minimumheight"}, {DB_ID_MINIMUMWIDTH, "minimumwidth"},
    {DB_ID_MULTIFEEDLENGTHENABLED, "multifeedlengthenabled"}, {DB_ID_MULTIFEEDRESPONSE, "multifeedresponse"},
    {DB_ID_MULTIFEEDSOUND, "multifeedsound"}, {DB_ID_MULTIFEEDSOUNDENABLED, "multifeedsoundenabled"},
    {DB_ID_NOISEFILTER, "filternoise"}, {DB_ID_ORIENTATION, "orientation"},
    {DB_ID_ORTHOGONALROTATE, "imagerotateorthogonal"}, {DB_ID_PAGECOUNT, "sheetcount"},
    {DB_ID_PAGESIZELIMIT, "multifeedlength"}, {DB_ID_PAPERJAMRESPONSE, "paperjamresponse"},
    {DB_ID_PAPERSOURCE, "papersource"}, {DB_ID_PATCHALARM, "patchalarm"},
    {DB_ID_PATCHCODEDETECTIONENABLED, "patchcodedetectionenabled"}, {DB_ID_PATCHFEATURE1, "patchtype1"},
    {DB_ID_PATCHFEATURE4, "patchtype4"}, {DB_ID_PATCHFEATURE6, "patchtype6"}, {DB_ID_PATCHHEAD1, "patchhead1"},
    {DB_ID_PATCHHEAD2, "patchhead2"}, {DB_ID_PATCHHEAD3, "patchhead3"}, {DB_ID_PATCHHEAD4, "patchhead4"},
    {DB_ID_PATCHLEVEL2, "patchtype2"}, {DB_ID_PATCHLEVEL3, "patchtype3"}, {DB_ID_PATCHTRANSFER, "patchtransfer"},
    {DB_ID_PHYSICALHEIGHTADJUST, "sheetheight"}, {DB_ID_PHYSICALWIDTH, "physicalwidth"},
    {DB_ID_PIXELFLAVOR, "invertcolor"}, {DB_ID_PIXELFLAVORCODES, "pixelflavorcodes"},
    {DB_ID_POWEROFFTIMEOUT, "powerofftimeout"}, {DB_ID_POWEROFFTIMEOUTENABLED, "powerofftimeoutenabled"},
    {DB_ID_PREVIEWIMAGEACQUIRE, "previewimageacquire"}, {DB_ID_PREVIEWMODE, "previewmode"},
    {DB_ID_PREVIEWQUALITY, "previewquality"}, {DB_ID_PREVIEWSTYLE, "previewstyle"},
    {DB_ID_PREVIEWUPDATE, "previewupdate"}, {DB_ID_PRINTER, "printer"}, {DB_ID_PRINTERDATE, "printerdate"},
    {DB_ID_PRINTERDATEDELIMITER, "printerdatedelimiter"}, {DB_ID_PRINTERDATEFORMAT, "printerdateformat"},
    {DB_ID_PRINTERENABLED, "printerenabled"}, {DB_ID_PRINTERFONT, "printerfont"},
    {DB_ID_PRINTERFONTFORMAT, "printerfontformat"}, {DB_ID_PRINTERIMAGEADDRESSFORMAT, "iapadding"},
    {DB_ID_PRINTERIMAGEADDRESSLEVEL, "printerimageaddresslevel"}, {DB_ID_PRINTERINDEX, "printerindex"},
    {DB_ID_PRINTERINDEXDIGITS, "printerindexdigits"}, {DB_ID_PRINTERINDEXFORMAT, "printerindexformat"},
    {DB_ID_PRINTERINDEXINCREMENT, "printerindexincrement"}, {DB_ID_PRINTERINDEXRESET, "printerindexreset"},
    {DB_ID_PRINTERINDEXRESETVALUE, "printerindexresetvalue"}, {DB_ID_PRINTERMODE, "printermode"},
    {DB_ID_PRINTERPOSITION, "printerposition"}, {DB_ID_PRINTERTEST, "printertest"},
    {DB_ID_PRINTERTIME, "printertime"}, {DB_ID_PRINTERTIMEFORMAT, "printertimeformat"},
    {DB_ID_PRINTERWRITESEQUENCE, "printerwritesequence"},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE1, "printerwritesequencemessage1"},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE2, "printerwritesequencemessage2"},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE3, "printerwritesequencemessage3"},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE4, "printerwritesequencemessage4"},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE5, "printerwritesequencemessage5"},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE6, "printerwritesequencemessage6"},
    {DB_ID_PRINTERWRITESEQUENCESTRING, "printerwritesequencestring"}, {DB_ID_PRINTONIMAGEFRONT, "printonimagefront"},
    {DB_ID_PRINTONIMAGEPOSITIONX, "printonimagepositionx"}, {DB_ID_PRINTONIMAGEPOSITIONY, "printonimagepositiony"},
    {DB_ID_PRINTONIMAGEREAR, "printonimagerear"}, {DB_ID_SERIALNUMBER, "serialnumber"},
    {DB_ID_SIDESDIFFERENT, "sidesdifferent"}, {DB_ID_STREAKREMOVALAGGRESSIVENESS, "streakremovalaggressiveness"},
    {DB_ID_STREAKREMOVALENABLED, "streakremoval"}, {DB_ID_SUPPORTEDSIZES, "imagepreset"},
    {DB_ID_TEXTENHANCEMENT, "textenhancement"}, {DB_ID_THINTHICKENAMOUNT, "thinthickenamount"},
    {DB_ID_THRESHOLD, "binarizationthreshold"}, {DB_ID_TIMEDATE, "timedate"}, {DB_ID_TIMEDATEUTC, "timedateutc"},
    {DB_ID_TOGGLEPATCH, "patchtogglemode"}, {DB_ID_TRANSPORTAUTOSTART, "adfautostart"},
    {DB_ID_TRANSPORTTIMEOUT, "adftimeout"}, {DB_ID_TRANSPORTTIMEOUTRESPONSE, "adftimeoutresponse"},
    {DB_ID_ULTRASONICSENSITIVITY, "multifeeduddssensitivity"},
    {DB_ID_ULTRASONICSENSORCENTER, "multifeeduddssensorcenter"},
    {DB_ID_ULTRASONICSENSORLEFT, "multifeeduddssensorleft"},
    {DB_ID_ULTRASONICSENSORLEFTCENTER, "multifeeduddssensorleftcenter"},
    {DB_ID_ULTRASONICSENSORRIGHT, "multifeeduddssensorright"},
    {DB_ID_ULTRASONICSENSORRIGHTCENTER, "multifeeduddssensorrightcenter"},
    {DB_ID_ULTRASONICSENSORZONEHEIGHT, "multifeeduddssensorzoneheight"}, {DB_ID_UNITS, "units"},
    {DB_ID_WINDOW, "windowenum"}, {DB_ID_WINDOWBIN, "windowtag"}, {DB_ID_WINDOWSIZE, "windowsize"},
    {DB_ID_XFERCOUNT, "imagecount"}, {DB_ID_XNATIVERESOLUTION, "resolutionxoptical"},
    {DB_ID_XRESOLUTION, "imageresolutionx"},
};

TEST(CatalogueLookup, EveryNameInTaskMessagesFindsItsCapability) {
  testsupport::LogCapture logcapture;
  CDbLookup dblookup;
  ASSERT_EQ(dblookup.Open2(DB_API_RESOURCE, SCANDRV_LIBRARY_PATH, nullptr, 0, false), OS_STS_SUCCESS);
  ASSERT_EQ(std::size(s_ataskname), CDbCatalogue::GetRows().size());
  for (const TaskName& taskname : s_ataskname) {
    SCOPED_TRACE(std::to_string(taskname.edbid) + " \"" + taskname.szName + "\"");
    DbLookup2* pdblookup2 = dblookup.FindEdbid(taskname.edbid);
    ASSERT_NE(pdblookup2, nullptr);
    EXPECT_STREQ(pdblookup2->szLexicon, taskname.szName);
    if (!taskname.szName[0]) continue;
    DbLookup2* pdblookup2Named = dblookup.FindLexicon(taskname.szName);
    ASSERT_NE(pdblookup2Named, nullptr);
    // "printer" also names the cartridge sensor; it means the imprinter.
    const bool blPrinter = std::strcmp(taskname.szName, "printer") == 0;
    EXPECT_EQ(pdblookup2Named->edbid, blPrinter ? DB_ID_PRINTER : taskname.edbid);
  }
}

TEST(CatalogueLookup, LoadingBindsEveryObjectToItsRecordInCatalogueOrder) {
  testsupport::LogCapture logcapture;
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
  CDatabase database;
  ASSERT_EQ(database.Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false), DB_STS_SUCCESS);
  EXPECT_FALSE(logcapture.Contains("LoadLookup failed"));
  // The index entry holds the record block: one record per row, in row order.
  const DbLookup2* pdblookup2Block = CDbDatum::DbDatumFind(0, DB_ID_UNDEFINED, DB_BIN_SEARCH)->GetLookup();
  ASSERT_NE(pdblookup2Block, nullptr);
  const std::span<const DbCatalogueRow> spanrow = CDbCatalogue::GetRows();
  for (size_t i = 0; i < spanrow.size(); ++i) {
    EXPECT_EQ(pdblookup2Block[i].edbid, spanrow[i].edbid) << i;
    EXPECT_EQ(std::string(pdblookup2Block[i].szDbId), std::string("DB_ID_") + spanrow[i].szName) << i;
  }
  // Every capability object of every window points at its own record.
  size_t sizetBound = 0;
  for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) {
        CDbDatum* pdbdatum = CDbDatum::ms_pdatumcommon->apdbdatum[iWindow][iId][iBin];
        if (!pdbdatum) continue;
        ASSERT_NE(pdbdatum->GetLookup(), nullptr) << iWindow << " " << iId << " " << iBin;
        EXPECT_EQ(pdbdatum->GetLookup()->edbid, iId);
        ++sizetBound;
      }
    }
  }
  EXPECT_EQ(sizetBound, 1057u);
  // By capability name, the search copy of the catalogue.
  EXPECT_EQ(database.FindFromName(DB_BIN_SEARCH, "FrameWidth"),
            CDbDatum::DbDatumFind(0, DB_ID_FRAMEWIDTH, DB_BIN_SEARCH));
}

}  // namespace
