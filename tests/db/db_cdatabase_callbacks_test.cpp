// Device values and value callbacks: the push of the machine's values
// through their set callbacks, and the registration of a callback by
// capability and bin, with what the scanner lacks skipped and bad requests
// refused.
#include <optional>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_values_fixture.h"

namespace {

// A long datum that shows which callbacks it holds.
class CallbackDatum : public dbtest::LongDatum {
 public:
  using LongDatum::LongDatum;
  PFNDBCALLBACK Callback(int a_iKind) const { return m_apfndbcallback[a_iKind - 1]; }
  void* User(int a_iKind) const { return m_apvCallbackUser[a_iKind - 1]; }
  void Forget() {
    for (int iKind = DB_CALLBACK_GETLONG; iKind <= DB_CALLBACK_LOAD; ++iKind)
      RegisterCallback(static_cast<EDBCALLBACK>(iKind), nullptr, nullptr);
  }
};

// Each call appends the id of the datum whose set callback ran.
struct UpdateJournal {
  std::vector<int> veciIds;
  bool blDeviceBitEachTime = true;
  static EOSSTS Callback(void* a_pvRecord) {
    auto* pdbcallbackrecord = static_cast<DbCallbackRecord*>(a_pvRecord);
    auto* pjournal = static_cast<UpdateJournal*>(pdbcallbackrecord->pvUser);
    pjournal->veciIds.push_back(pdbcallbackrecord->pdbdatum->GetId());
    pjournal->blDeviceBitEachTime &= CDbDatum::TestDbState(DB_STATE_DEVICEUPDATE);
    return OS_STS_SUCCESS;
  }
};

EOSSTS Noop(void*) { return OS_STS_SUCCESS; }

class DbCallbacksTest : public dbtest::DbValuesFixture {
 protected:
  CallbackDatum* NewCallbackDatum(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess,
                                  EDBDEVICEDATA a_edbdevicedata = DB_DEVICEDATA_NONE) {
    CallbackDatum* pdatum = NewRegistered<CallbackDatum>(a_edbid, a_edbbin);
    pdatum->InitDatumLong(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, 1, 1);
    pdatum->SetName(Name(a_edbid));
    return pdatum;
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Device values
// ---------------------------------------------------------------------------
// Camera and window values reach the device with the attribute tasks, not
// here; a machine value nobody consumes is not sent.
TEST_F(DbCallbacksTest, DeviceUpdateAllRunsTheSetCallbacksOfMachineDatumsWithConsumers) {
  struct Row {
    EDBID edbid;
    EDBBIN edbbin;
    EDBACCESS edbaccess;
    EDBDEVICEDATA edbdevicedata;
    bool blString;
    bool blSent;
  };
  const Row arow[] = {
      {DB_ID_XFERCOUNT, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_ALL, false, true},
      {DB_ID_ALARMVOLUME, DB_BIN_MACHINE, DB_ACCESS_HIDDEN, DB_DEVICEDATA_ADF, false, true},
      {DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READONLY, DB_DEVICEDATA_NEXIL, true, true},
      {DB_ID_AUTOSCAN, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_FLATBED, false, true},
      {DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, false, false},
      {DB_ID_ADFTIMEOUTENABLED, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, DB_DEVICEDATA_ALL, false, false},
      {DB_ID_ADDBORDER, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, DB_DEVICEDATA_ALL, false, false},
      {DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, DB_DEVICEDATA_ALL, false, false},
  };
  UpdateJournal journal;
  for (const Row& row : arow) {
    CDbDatum* pdbdatum =
        row.blString ? static_cast<CDbDatum*>(NewString(row.edbid, row.edbbin, row.edbaccess, 16, row.edbdevicedata))
                     : NewLong(row.edbid, row.edbbin, row.edbaccess, 3, 3, row.edbdevicedata);
    // Both set callbacks: the datum's data type picks the one that runs.
    pdbdatum->RegisterCallback(DB_CALLBACK_SETLONG, UpdateJournal::Callback, &journal);
    pdbdatum->RegisterCallback(DB_CALLBACK_SETSTRING, UpdateJournal::Callback, &journal);
  }
  m_pdatabase->DeviceUpdateAll();
  EXPECT_EQ(journal.veciIds,
            (std::vector<int>{DB_ID_ALARMVOLUME, DB_ID_AUTOSCAN, DB_ID_SERIALNUMBER, DB_ID_XFERCOUNT}));
  EXPECT_TRUE(journal.blDeviceBitEachTime);
  EXPECT_FALSE(CDbDatum::TestDbState(DB_STATE_DEVICEUPDATE));
}

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------
// The device engine registers the same callbacks for every model: what the
// scanner lacks succeeds without a registration.
TEST_F(DbCallbacksTest, RegisterCallbackFindsTheDatumOrSkipsOrRefuses) {
  CallbackDatum* pdatumMachine = NewCallbackDatum(DB_ID_AUTOSCAN, DB_BIN_MACHINE, DB_ACCESS_READWRITE);
  // A camera capability the scanner has on the rear bitonal camera and
  // the front colour camera only.
  CallbackDatum* apdatumCamera[] = {NewCallbackDatum(DB_ID_ADDBORDER, DB_BIN_BITONAL_FRONT, DB_ACCESS_NOTSUPPORTED),
                                    NewCallbackDatum(DB_ID_ADDBORDER, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE),
                                    NewCallbackDatum(DB_ID_ADDBORDER, DB_BIN_COLOR_FRONT, DB_ACCESS_READONLY),
                                    NewCallbackDatum(DB_ID_ADDBORDER, DB_BIN_COLOR_REAR, DB_ACCESS_NOTSUPPORTED)};
  std::vector<CallbackDatum*> vecpdatum = {pdatumMachine};
  vecpdatum.insert(vecpdatum.end(), std::begin(apdatumCamera), std::end(apdatumCamera));

  struct Row {
    int iKind;
    int iId;
    int iBin;
    bool blDuplex;
    EOSSTS eossts;
    CallbackDatum* pdatum;  // the one that holds the callback afterwards, or none
    const char* szLog;
  };
  const Row arow[] = {
      // What the scanner lacks.
      {DB_CALLBACK_LOAD, DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, true, OS_STS_SUCCESS, nullptr,
       "Skipping RegisterCallback, 1 not supported..."},
      {DB_CALLBACK_LOAD, 300, DB_BIN_MACHINE, true, OS_STS_SUCCESS, nullptr,
       "Skipping RegisterCallback, 300 not supported..."},
      {DB_CALLBACK_LOAD, DB_ID_ADDBORDER, DB_BIN_BITONAL_REAR, false, OS_STS_SUCCESS, nullptr,
       "Skipping RegisterCallback, 2 asked for a rear on a simplex device"},
      {99, DB_ID_ADDBORDER, DB_BIN_COLOR_REAR, false, OS_STS_SUCCESS, nullptr,
       "Skipping RegisterCallback, 2 asked for a rear on a simplex device"},
      // Registered: in the bin asked for, every kind, or in the first bin
      // with access.
      {DB_CALLBACK_GETLONG, DB_ID_AUTOSCAN, DB_BIN_MACHINE, false, OS_STS_SUCCESS, pdatumMachine, nullptr},
      {DB_CALLBACK_GETSTRING, DB_ID_ADDBORDER, DB_BIN_COLOR_FRONT, false, OS_STS_SUCCESS, apdatumCamera[2], nullptr},
      {DB_CALLBACK_SETLONG, DB_ID_ADDBORDER, DB_BIN_BITONAL_REAR, true, OS_STS_SUCCESS, apdatumCamera[1], nullptr},
      {DB_CALLBACK_SETSTRING, DB_ID_AUTOSCAN, DB_BIN_SEARCH, false, OS_STS_SUCCESS, pdatumMachine, nullptr},
      {DB_CALLBACK_LOAD, DB_ID_ADDBORDER, DB_BIN_SEARCH, true, OS_STS_SUCCESS, apdatumCamera[1], nullptr},
      // Refused.
      {0, DB_ID_AUTOSCAN, DB_BIN_MACHINE, true, DB_EOSSTS_BADARGUMENT, nullptr, "bad a_edbcallback...0"},
      {6, DB_ID_AUTOSCAN, DB_BIN_MACHINE, true, DB_EOSSTS_BADARGUMENT, nullptr, "bad a_edbcallback...6"},
      {DB_CALLBACK_LOAD, DB_ID_ADDBORDER, DB_BIN_COLOR_REAR, true, DB_EOSSTS_BADARGUMENT, nullptr,
       "bad access a_edbbin or a_edbid...5 2"},
      {DB_CALLBACK_LOAD, DB_ID_ADDBORDER, DB_BIN_MACHINE, true, DB_EOSSTS_BADARGUMENT, nullptr,
       "bad a_edbbin or a_edbid...1 2"},
      {DB_CALLBACK_LOAD, DB_ID_AUTOSCAN, DB_BIN_LAST, true, DB_EOSSTS_BADARGUMENT, nullptr,
       "bad a_edbbin or a_edbid...6 10"},
      {DB_CALLBACK_LOAD, DB_ID_AUTOSCAN, -1, true, DB_EOSSTS_BADARGUMENT, nullptr, "bad a_edbbin or a_edbid...-1 10"},
  };
  int iUser = 0;
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << "kind " << row.iKind << " id " << row.iId << " bin " << row.iBin);
    if (row.blDuplex) {
      m_pdatabase->ConfigAdd("duplex", DB_CONFIGTARGET_COMMON);
    } else {
      m_pdatabase->ConfigDelete("duplex", DB_CONFIGTARGET_COMMON);
    }
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(m_pdatabase->RegisterCallback(static_cast<EDBCALLBACK>(row.iKind), static_cast<EDBID>(row.iId),
                                            static_cast<EDBBIN>(row.iBin), Noop, &iUser),
              row.eossts);
    for (CallbackDatum* pdatum : vecpdatum) {
      const bool blHolds = pdatum == row.pdatum;
      for (int iKind = DB_CALLBACK_GETLONG; iKind <= DB_CALLBACK_LOAD; ++iKind) {
        const bool blExpected = blHolds && iKind == row.iKind;
        EXPECT_EQ(pdatum->Callback(iKind) == Noop && pdatum->User(iKind) == &iUser, blExpected)
            << "bin " << pdatum->GetBin() << " kind " << iKind;
        EXPECT_EQ(pdatum->Callback(iKind) == nullptr, !blExpected) << "bin " << pdatum->GetBin() << " kind " << iKind;
      }
      pdatum->Forget();
    }
    if (row.szLog) {
      EXPECT_NE(LogFrom(sizetFrom).find(row.szLog), std::string::npos) << LogFrom(sizetFrom);
    }
  }
}
