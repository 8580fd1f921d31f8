// The region set: the image cropping region (the frame and its skew angle)
// or the barcode search region, given as five fields, each optionally
// followed by the range it is to hold. The cropping region is checked
// against the frame limits before anything changes; either region lands in
// the bin the request picks (and its other side while the sides are kept
// alike) and is copied to every other picked bin.
#include <cstring>

#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"

namespace {

// Argument flags: a field given (field n is bit n-1), and the range after
// it (32 for field 1, shifted left by n-1).
constexpr uint64_t s_u64ArgFields = 31;
constexpr uint64_t s_u64ArgRangeOfField1 = 32;
constexpr uint64_t s_u64ArgFieldsAndRanges = 1023;

// The capabilities of each region, in field order; the barcode search
// region has no skew angle.
const EDBID s_aedbidFrame[DRV_REGION_FIELDS] = {DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH,
                                                DB_ID_FRAMEHEIGHT, DB_ID_IMAGESKEWANGLE};
constexpr long s_lBarcodeFields = 4;
const EDBID s_aedbidBarcode[s_lBarcodeFields] = {DB_ID_BARCODESEARCHREGIONOFFSETX, DB_ID_BARCODESEARCHREGIONOFFSETY,
                                                 DB_ID_BARCODESEARCHREGIONWIDTH, DB_ID_BARCODESEARCHREGIONHEIGHT};

bool IsField(int32_t a_i32Field) {
  return a_i32Field >= DRV_REGIONRANGE_IMAGEOFFSETX && a_i32Field <= DRV_REGIONRANGE_IMAGESKEWANGLE;
}

}  // namespace

// ---------------------------------------------------------------------------
// Gathering
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::TakeRegionField(OsXmlCallback* a_posxmlcallback, EDRIVERREGIONRANGE a_edriverregionrange) {
  const int iIndex = a_edriverregionrange - 1;
  if (TakeNumber(a_posxmlcallback, &m_drvsetrequest.drvsetarguments.drvregionarguments.ai32Field[iIndex],
                 &m_drvsetrequest.u64ArgumentFlags, static_cast<uint64_t>(1) << iIndex) != OS_STS_SUCCESS)
    return OS_STS_FAIL;
  m_drvsetrequest.i32RegionField = a_edriverregionrange;
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterSetImageoffsetx(OsXmlCallback* a_posxmlcallback) {
  return TakeRegionField(a_posxmlcallback, DRV_REGIONRANGE_IMAGEOFFSETX);
}

EOSSTS CDrvProcessCommands::EnterSetImageoffsety(OsXmlCallback* a_posxmlcallback) {
  return TakeRegionField(a_posxmlcallback, DRV_REGIONRANGE_IMAGEOFFSETY);
}

EOSSTS CDrvProcessCommands::EnterSetImagewidth(OsXmlCallback* a_posxmlcallback) {
  return TakeRegionField(a_posxmlcallback, DRV_REGIONRANGE_IMAGEWIDTH);
}

EOSSTS CDrvProcessCommands::EnterSetImageheight(OsXmlCallback* a_posxmlcallback) {
  return TakeRegionField(a_posxmlcallback, DRV_REGIONRANGE_IMAGEHEIGHT);
}

EOSSTS CDrvProcessCommands::EnterSetImageskewangle(OsXmlCallback* a_posxmlcallback) {
  return TakeRegionField(a_posxmlcallback, DRV_REGIONRANGE_IMAGESKEWANGLE);
}

// A range applies to the field just given, and stands alone: what an
// earlier range of the same field gave is forgotten.
EOSSTS CDrvProcessCommands::EnterSetRegionRange(OsXmlCallback*) {
  const int32_t i32Field = m_drvsetrequest.i32RegionField;
  if (!IsField(i32Field)) {
    OsLog(OS_LOG_ERROR, "Must set the region values first before the range");
    return Refuse(DB_STS_BADVALUE);
  }
  m_drvsetrequest.drvsetarguments.drvregionarguments.adrvregionrange[i32Field - 1] = {};
  return OS_STS_SUCCESS;
}

// The range's enter has made sure there is a current field.
EOSSTS CDrvProcessCommands::TakeRegionRangeNumber(OsXmlCallback* a_posxmlcallback, uint64_t a_u64Flag,
                                                  int32_t DrvRegionRange::*a_pi32) {
  const int32_t i32Field = m_drvsetrequest.i32RegionField;
  if (!IsField(i32Field)) {
    OsLog(OS_LOG_ERROR, "Unrecognized EDRIVERREGIONRANGE %d", i32Field);
    return Refuse(DB_STS_BADVALUE);
  }
  DrvRegionRange& drvregionrange = m_drvsetrequest.drvsetarguments.drvregionarguments.adrvregionrange[i32Field - 1];
  return TakeNumber(a_posxmlcallback, &(drvregionrange.*a_pi32), &drvregionrange.u64RangeFlags, a_u64Flag);
}

EOSSTS CDrvProcessCommands::EnterSetRegionRangemin(OsXmlCallback* a_posxmlcallback) {
  return TakeRegionRangeNumber(a_posxmlcallback, DRV_RANGEFLAG_MIN, &DrvRegionRange::i32Min);
}

EOSSTS CDrvProcessCommands::EnterSetRegionRangemax(OsXmlCallback* a_posxmlcallback) {
  return TakeRegionRangeNumber(a_posxmlcallback, DRV_RANGEFLAG_MAX, &DrvRegionRange::i32Max);
}

EOSSTS CDrvProcessCommands::EnterSetRegionRangestep(OsXmlCallback* a_posxmlcallback) {
  return TakeRegionRangeNumber(a_posxmlcallback, DRV_RANGEFLAG_STEP, &DrvRegionRange::i32Step);
}

// After a range no field is current: a second range needs a field again.
EOSSTS CDrvProcessCommands::ExitSetRegionRange(OsXmlCallback*) {
  const int32_t i32Field = m_drvsetrequest.i32RegionField;
  if (!IsField(i32Field)) {
    OsLog(OS_LOG_ERROR, "Unrecognized EDRIVERREGIONRANGE %d", i32Field);
    return Refuse(DB_STS_BADVALUE);
  }
  if (m_drvsetrequest.drvsetarguments.drvregionarguments.adrvregionrange[i32Field - 1].u64RangeFlags !=
      DRV_RANGEFLAG_ALL) {
    OsLog(OS_LOG_ERROR, "Missing argument(s) <rangemin>, <rangemax> or <rangestep> for <range> subcommand");
    return Refuse(DB_STS_BADVALUE);
  }
  m_drvsetrequest.u64ArgumentFlags |= s_u64ArgRangeOfField1 << (i32Field - 1);
  m_drvsetrequest.i32RegionField = DRV_REGIONRANGE_NONE;
  return OS_STS_SUCCESS;
}

// Every field is needed, and a range either after each of them or after
// none.
EOSSTS CDrvProcessCommands::ExitSetRegion(OsXmlCallback*) {
  const uint64_t u64ArgumentFlags = m_drvsetrequest.u64ArgumentFlags;
  if (u64ArgumentFlags == s_u64ArgFields) {
    m_drvsetrequest.u64SetType |= DRV_SETTYPE_REGION;
  } else if (u64ArgumentFlags == s_u64ArgFieldsAndRanges) {
    m_drvsetrequest.u64SetType |= DRV_SETTYPE_REGION | DRV_SETTYPE_REGIONRANGE;
  } else {
    OsLog(OS_LOG_ERROR,
          "Missing argument(s) <imageoffsetx>, <imageoffsety>, <imagewidth>, <imageheight>, <imageskewangle> or "
          "<range> subcommands for <region> subcommand");
    return Refuse(DB_STS_BADVALUE);
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The set's work
// ---------------------------------------------------------------------------
bool CDrvProcessCommands::IsBarcodeSearchRegion() const {
  return std::strcmp(m_drvsetrequest.szId, "barcodesearchregion") == 0;
}

// Any other id names the image cropping region.
EDBSTS CDrvProcessCommands::SetRegion(uint64_t a_u64SetType) {
  return IsBarcodeSearchRegion() ? SetBarcodeSearchRegionLexicon() : SetFrameLexicon(a_u64SetType);
}

// The frame must fit the sheet, turned by its skew angle, within the width
// and height limits: the current ones of the bin, or those the request
// gives its width and height. Nothing is set before the check.
EDBSTS CDrvProcessCommands::SetFrameLexicon(uint64_t a_u64SetType) {
  DrvSetTarget drvsettarget = {};
  if (!FindSetTarget(DB_ID_FRAMEWIDTH, &drvsettarget)) return DB_STS_FAIL;
  const EDBBIN edbbin = m_pdatabase->GetBin(drvsettarget.pdbdatum);
  const DrvRegionArguments& drvregionarguments = m_drvsetrequest.drvsetarguments.drvregionarguments;
  const int32_t* ai32 = drvregionarguments.ai32Field;
  const bool blRanges = a_u64SetType == DRV_SETTYPE_SETREGIONRANGES;
  long lMinWidth = 0, lMinHeight = 0, lMaxWidth = 0, lMaxHeight = 0;
  if (blRanges) {
    const DrvRegionRange& drvregionrangeWidth = drvregionarguments.adrvregionrange[DRV_REGIONRANGE_IMAGEWIDTH - 1];
    const DrvRegionRange& drvregionrangeHeight = drvregionarguments.adrvregionrange[DRV_REGIONRANGE_IMAGEHEIGHT - 1];
    lMinWidth = drvregionrangeWidth.i32Min;
    lMaxWidth = drvregionrangeWidth.i32Max;
    lMinHeight = drvregionrangeHeight.i32Min;
    lMaxHeight = drvregionrangeHeight.i32Max;
  } else {
    CDbDatum* pdbdatumHeight = m_pdatabase->FindInBin(edbbin, DB_ID_FRAMEHEIGHT);
    if (!pdbdatumHeight) {
      OsLog(OS_LOG_ERROR, "capability not found...<%d in bin %d>", DB_ID_FRAMEHEIGHT, edbbin);
      return DB_STS_FAIL;
    }
    lMinWidth = m_pdatabase->RangeGetCurrentMin(drvsettarget.pdbdatum);
    lMaxWidth = m_pdatabase->RangeGetCurrentMax(drvsettarget.pdbdatum);
    lMinHeight = m_pdatabase->RangeGetCurrentMin(pdbdatumHeight);
    lMaxHeight = m_pdatabase->RangeGetCurrentMax(pdbdatumHeight);
  }
  if (!m_pdatabase->IsValidFrame(ai32[0], ai32[1], ai32[2], ai32[3], ai32[4], lMinWidth, lMinHeight, lMaxWidth,
                                 lMaxHeight)) {
    OsLogDebug(OS_LOG_INFO, "Invalid frame...");
    return DB_STS_BADVALUE;
  }
  if (blRanges) {
    for (long l = 0; l < DRV_REGION_FIELDS; ++l) {
      const EDBSTS edbsts = SetFrameContainer(s_aedbidFrame[l], static_cast<EDRIVERREGIONRANGE>(l + 1), drvsettarget);
      if (edbsts != DB_STS_SUCCESS) return edbsts;
    }
  } else if (WriteRegion(edbbin, false) != DB_STS_SUCCESS ||
             (drvsettarget.pdbdatumLinked &&
              WriteRegion(m_pdatabase->GetBin(drvsettarget.pdbdatumLinked), false) != DB_STS_SUCCESS)) {
    return DB_STS_FAIL;
  }
  return CopyRegionToBins(drvsettarget, false);
}

// One field with its range in the region's bin, kept alike on the other
// side. A refused field ends the region: the fields before it stay set.
EDBSTS CDrvProcessCommands::SetFrameContainer(EDBID a_edbid, EDRIVERREGIONRANGE a_edriverregionrange,
                                              const DrvSetTarget& a_drvsettarget) {
  const DrvRegionArguments& drvregionarguments = m_drvsetrequest.drvsetarguments.drvregionarguments;
  const DrvRegionRange& drvregionrange = drvregionarguments.adrvregionrange[a_edriverregionrange - 1];
  CDbDatum* pdbdatum = m_pdatabase->FindInBin(m_pdatabase->GetBin(a_drvsettarget.pdbdatum), a_edbid);
  const EDBSTS edbsts =
      pdbdatum ? m_pdatabase->RangeSetCurrent(pdbdatum, drvregionarguments.ai32Field[a_edriverregionrange - 1],
                                              drvregionrange.i32Min, drvregionrange.i32Max, drvregionrange.i32Step)
               : DB_STS_FAIL;
  if (edbsts != DB_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "Failed to set range %d...", a_edbid);
    return DB_STS_BADVALUE;
  }
  if (a_drvsettarget.pdbdatumLinked) {
    if (CDbDatum* pdbdatumLinked = m_pdatabase->FindInBin(m_pdatabase->GetBin(a_drvsettarget.pdbdatumLinked), a_edbid))
      m_pdatabase->CopySideToSide(pdbdatumLinked, pdbdatum);
  }
  return DB_STS_SUCCESS;
}

// Stored as given: the barcode search region has no validity check and no
// ranges (a region with ranges is set as one without).
EDBSTS CDrvProcessCommands::SetBarcodeSearchRegionLexicon() {
  DrvSetTarget drvsettarget = {};
  if (!FindSetTarget(DB_ID_BARCODESEARCHREGIONWIDTH, &drvsettarget)) return DB_STS_FAIL;
  if (WriteRegion(m_pdatabase->GetBin(drvsettarget.pdbdatum), true) != DB_STS_SUCCESS ||
      (drvsettarget.pdbdatumLinked &&
       WriteRegion(m_pdatabase->GetBin(drvsettarget.pdbdatumLinked), true) != DB_STS_SUCCESS))
    return DB_STS_FAIL;
  return CopyRegionToBins(drvsettarget, true);
}

// The request's fields into one bin of the current window.
EDBSTS CDrvProcessCommands::WriteRegion(EDBBIN a_edbbin, bool a_blBarcode) {
  const int32_t* ai32 = m_drvsetrequest.drvsetarguments.drvregionarguments.ai32Field;
  const EDBID_WINDOW edbidwindow = m_pdatabase->GetWindow();
  const EDBSTS edbsts =
      a_blBarcode ? m_pdatabase->SetBarcodeSearchRegion(edbidwindow, a_edbbin, ai32[0], ai32[1], ai32[2], ai32[3])
                  : m_pdatabase->SetFrameAngle(edbidwindow, a_edbbin, ai32[0], ai32[1], ai32[2], ai32[3], ai32[4]);
  if (edbsts != DB_STS_SUCCESS) OsLog(OS_LOG_ERROR, "region not set in bin %d...%d", a_edbbin, edbsts);
  return edbsts;
}

// When the region's bin was picked, every picked bin that has the region
// takes it too, each field with its range copied from the region's bin.
EDBSTS CDrvProcessCommands::CopyRegionToBins(const DrvSetTarget& a_drvsettarget, bool a_blBarcode) {
  if (!a_drvsettarget.blFoundByBin) return DB_STS_SUCCESS;
  const EDBID* aedbid = a_blBarcode ? s_aedbidBarcode : s_aedbidFrame;
  const long lFields = a_blBarcode ? s_lBarcodeFields : DRV_REGION_FIELDS;
  const EDBBIN edbbinRegion = m_pdatabase->GetBin(a_drvsettarget.pdbdatum);
  for (long lBin = 0; lBin < a_drvsettarget.lBins; ++lBin) {
    const EDBBIN edbbin = a_drvsettarget.aedbbin[lBin];
    if (!m_pdatabase->FindInBin(edbbin, aedbid[0])) continue;
    if (WriteRegion(edbbin, a_blBarcode) != DB_STS_SUCCESS) return DB_STS_FAIL;
    for (long l = 0; l < lFields; ++l)
      CopyDataContainer(m_pdatabase->FindInBin(edbbin, aedbid[l]), m_pdatabase->FindInBin(edbbinRegion, aedbid[l]));
  }
  return DB_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Replies
// ---------------------------------------------------------------------------
EDBSTS CDrvProcessCommands::CreateTaskReportSetRegion(bool a_blContinue) {
  if (IsBarcodeSearchRegion())
    return CreateTaskReportRegion("barcodesearchregion", DB_ID_BARCODESEARCHREGIONOFFSETX,
                                  DB_ID_BARCODESEARCHREGIONOFFSETY, DB_ID_BARCODESEARCHREGIONWIDTH,
                                  DB_ID_BARCODESEARCHREGIONHEIGHT, DB_ID_UNDEFINED, a_blContinue);
  return CreateTaskReportRegion("imagecroppingregion", DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH,
                                DB_ID_FRAMEHEIGHT, DB_ID_IMAGESKEWANGLE, a_blContinue);
}

void CDrvProcessCommands::AnswerSetRegion(EDBSTS a_edbsts) {
  if (a_edbsts == DB_STS_SUCCESS) {
    CreateTaskReportSetRegion(false);
    return;
  }
  m_pdatabase->CreateTaskReportStatus(GetSetStatusWord(a_edbsts), nullptr);
}
