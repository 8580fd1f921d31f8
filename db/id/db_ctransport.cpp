// The transport family's table, one row per class, and the five rule
// operations that run what a row chooses.
#include "db_ctransport.h"

#include <array>
#include <type_traits>

#include "db_ctransport_rows.h"
#include "os_coslog.h"

namespace transport {
namespace {

constexpr long s_lOn = 2;  // every switch followed here holds 2 for on

// The capabilities each class follows and how.
constexpr Follow s_afollowDualStacking[] = {{DB_ID_DUALSTACKINGENABLED, Reaction::Access, 0}};
constexpr Follow s_afollowLength1[] = {{DB_ID_DUALSTACKINGENABLED, Reaction::Access, 0},
                                       {DB_ID_DUALSTACKINGLENGTHMODE, Reaction::Access, 0},
                                       {DB_ID_DUALSTACKINGLENGTH2, Reaction::PullDown, 0}};
constexpr Follow s_afollowLength2[] = {{DB_ID_DUALSTACKINGENABLED, Reaction::Access, 0},
                                       {DB_ID_DUALSTACKINGLENGTHMODE, Reaction::Access, 0},
                                       {DB_ID_DUALSTACKINGLENGTH1, Reaction::PushUp, 0}};
constexpr Follow s_afollowSource[] = {{DB_ID_PAPERSOURCE, Reaction::Access, 0}};
constexpr Follow s_afollowSensitivity[] = {{DB_ID_ULTRASONICSENSITIVITY, Reaction::Access, 0}};
constexpr Follow s_afollowZone[] = {
    {DB_ID_ULTRASONICSENSITIVITY, Reaction::Access, 0}, {DB_ID_ULTRASONICSENSORCENTER, Reaction::Access, 0},
    {DB_ID_ULTRASONICSENSORLEFT, Reaction::Access, 0},  {DB_ID_ULTRASONICSENSORLEFTCENTER, Reaction::Access, 0},
    {DB_ID_ULTRASONICSENSORRIGHT, Reaction::Access, 0}, {DB_ID_ULTRASONICSENSORRIGHTCENTER, Reaction::Access, 0}};
constexpr Follow s_afollowMultifeed[] = {{DB_ID_PAPERSOURCE, Reaction::Access, 0},
                                         {DB_ID_ULTRASONICSENSITIVITY, Reaction::Access, 0},
                                         {DB_ID_MULTIFEEDLENGTHENABLED, Reaction::Access, 0}};
constexpr Follow s_afollowSound[] = {{DB_ID_MULTIFEEDLENGTHENABLED, Reaction::Access, 0},
                                     {DB_ID_MULTIFEEDSOUNDENABLED, Reaction::Access, 0},
                                     {DB_ID_PAPERSOURCE, Reaction::Access, 0},
                                     {DB_ID_ULTRASONICSENSITIVITY, Reaction::Access, 0},
                                     {DB_ID_MULTIFEEDSOUND, Reaction::Resolve, 0}};
// The two counts exclude each other, and neither counts long paper or a
// batch.
constexpr Follow s_afollowSheets[] = {{DB_ID_BATCHCOUNTENABLED, Reaction::ZeroAt, s_lOn},
                                      {DB_ID_CROPPINGMODE, Reaction::ZeroAt, DB_ID_CROPPINGMODE_ENUM_LONGPAPER},
                                      {DB_ID_XFERCOUNT, Reaction::ZeroFrom, 1},
                                      {DB_ID_PAPERSOURCE, Reaction::Access, 0}};
constexpr Follow s_afollowImages[] = {{DB_ID_BATCHCOUNTENABLED, Reaction::ZeroAt, s_lOn},
                                      {DB_ID_CROPPINGMODE, Reaction::ZeroAt, DB_ID_CROPPINGMODE_ENUM_LONGPAPER},
                                      {DB_ID_PAGECOUNT, Reaction::ZeroFrom, 1},
                                      {DB_ID_PAPERSOURCE, Reaction::Access, 0}};
constexpr Follow s_afollowTimeout[] = {{DB_ID_ADFTIMEOUTENABLED, Reaction::Access, 0}};

// Short names for the table.
using D = DefaultKind;
using A = AccessKind;
using V = ValidateKind;
using X = MakeXmlKind;
using Span = std::span<const Follow>;

// The dual-stacking followers share one row but for their id, as do the
// sensors.
constexpr Row DualStackingFollower(EDBID a_edbid) {
  return {a_edbid, D::DualStacking, A::DualStacking, s_afollowDualStacking, V::Base, X::Base};
}

constexpr Row UltrasonicSensor(EDBID a_edbid) {
  return {a_edbid, D::Sensor, A::Sensor, s_afollowSensitivity, V::Sensor, X::Base};
}

constexpr Row s_arow[] = {
    {DB_ID_AUTOSCAN, D::Base, A::Base, Span(), V::Base, X::Base},
    {DB_ID_DUALSTACKINGENABLED, D::DualStacking, A::Base, Span(), V::Base, X::Base},
    DualStackingFollower(DB_ID_DUALSTACKINGLENGTHMODE),
    {DB_ID_DUALSTACKINGLENGTH1, D::Length, A::Length1, s_afollowLength1, V::Base, X::Base},
    {DB_ID_DUALSTACKINGLENGTH2, D::Length, A::Length2, s_afollowLength2, V::Base, X::Base},
    DualStackingFollower(DB_ID_DUALSTACKINGMULTIFEED),
    DualStackingFollower(DB_ID_DUALSTACKINGPATCHTRANSFER),
    DualStackingFollower(DB_ID_DUALSTACKINGPATCHTYPE1),
    DualStackingFollower(DB_ID_DUALSTACKINGPATCHTYPE2),
    DualStackingFollower(DB_ID_DUALSTACKINGPATCHTYPE3),
    DualStackingFollower(DB_ID_DUALSTACKINGPATCHTYPE4),
    DualStackingFollower(DB_ID_DUALSTACKINGPATCHTYPE6),
    DualStackingFollower(DB_ID_DUALSTACKINGSTACK),
    {DB_ID_FEEDERMODE, D::FeederMode, A::Base, Span(), V::Base, X::Base},
    {DB_ID_INTELLIGENTDOCUMENTPROTECTION, D::Protection, A::Protection, s_afollowSource, V::Base, X::Base},
    {DB_ID_MULTIFEEDLENGTHENABLED, D::Base, A::OffOnFlatbed, s_afollowSource, V::Base, X::Base},
    {DB_ID_MULTIFEEDRESPONSE, D::MultifeedResponse, A::Multifeed, s_afollowMultifeed, V::Base, X::Base},
    {DB_ID_MULTIFEEDSOUND, D::Sound, A::Sound, s_afollowSound, V::Sound, X::Base},
    {DB_ID_MULTIFEEDSOUNDENABLED, D::Base, A::Multifeed, s_afollowMultifeed, V::Base, X::Base},
    {DB_ID_PAGECOUNT, D::Base, A::Sheets, s_afollowSheets, V::Base, X::Sheets},
    {DB_ID_PAPERJAMRESPONSE, D::PaperJam, A::PaperJam, Span(), V::Base, X::Base},
    {DB_ID_TRANSPORTTIMEOUT, D::Base, A::Timeout, s_afollowTimeout, V::Base, X::Timeout},
    {DB_ID_TRANSPORTTIMEOUTRESPONSE, D::TimeoutResponse, A::Timeout, s_afollowTimeout, V::Base, X::Base},
    {DB_ID_ULTRASONICSENSITIVITY, D::Base, A::OffOnFlatbed, s_afollowSource, V::Base, X::Base},
    UltrasonicSensor(DB_ID_ULTRASONICSENSORCENTER),
    UltrasonicSensor(DB_ID_ULTRASONICSENSORLEFT),
    UltrasonicSensor(DB_ID_ULTRASONICSENSORLEFTCENTER),
    UltrasonicSensor(DB_ID_ULTRASONICSENSORRIGHT),
    UltrasonicSensor(DB_ID_ULTRASONICSENSORRIGHTCENTER),
    {DB_ID_ULTRASONICSENSORZONEHEIGHT, D::Zone, A::Zone, s_afollowZone, V::Base, X::Base},
    {DB_ID_XFERCOUNT, D::Base, A::Images, s_afollowImages, V::Base, X::Images},
};

// Each id's row, found without a search: a pass asks every class.
constexpr std::array<int8_t, DB_ID_COUNT> s_ai8RowOfId = [] {
  std::array<int8_t, DB_ID_COUNT> ai8 = {};
  for (int8_t& i8 : ai8) i8 = -1;
  for (size_t sizet = 0; sizet < std::size(s_arow); ++sizet) ai8[s_arow[sizet].edbid] = static_cast<int8_t>(sizet);
  return ai8;
}();

enum class Kind { Enum, Range, String };

constexpr Kind ContainerOf(EDBID a_edbid) {
#define DB_TRANSPORT_CONTAINER(NAME, CONTAINER, VALUE)                       \
  if (a_edbid == DB_ID_##NAME) {                                             \
    if constexpr (std::is_same_v<CONTAINER, CDbRange>) return Kind::Range;   \
    if constexpr (std::is_same_v<CONTAINER, CDbString>) return Kind::String; \
    return Kind::Enum;                                                       \
  }
  DB_TRANSPORT_CLASSES(DB_TRANSPORT_CONTAINER)
#undef DB_TRANSPORT_CONTAINER
  return Kind::Enum;
}

// The container a row's kinds need, where they need one.
constexpr bool Fits(const Row& a_row) {
  const Kind kind = ContainerOf(a_row.edbid);
  const bool blRange = a_row.edefault == D::Length || a_row.eaccess == A::Length1 || a_row.eaccess == A::Length2 ||
                       a_row.eaccess == A::Sheets || a_row.eaccess == A::Images || a_row.emakexml != X::Base;
  const bool blString = a_row.edefault == D::Sound || a_row.eaccess == A::Sound || a_row.evalidate == V::Sound;
  const bool blEnum = a_row.edefault == D::MultifeedResponse || a_row.edefault == D::FeederMode ||
                      a_row.edefault == D::Protection || a_row.edefault == D::PaperJam ||
                      a_row.edefault == D::TimeoutResponse || a_row.eaccess == A::Protection ||
                      a_row.evalidate == V::Sensor;
  return (!blRange || kind == Kind::Range) && (!blString || kind == Kind::String) && (!blEnum || kind == Kind::Enum);
}

// Every class of db_ctransport.h has its row, and a row's kinds fit its
// container.
constexpr bool RowsAreSound() {
  for (const Row& row : s_arow) {
    if (!Fits(row)) return false;
  }
#define DB_TRANSPORT_ROW_EXISTS(NAME, CONTAINER, VALUE) \
  if (s_ai8RowOfId[DB_ID_##NAME] < 0) return false;
  DB_TRANSPORT_CLASSES(DB_TRANSPORT_ROW_EXISTS)
#undef DB_TRANSPORT_ROW_EXISTS
  return std::size(s_arow) == 31;
}
static_assert(RowsAreSound(), "a transport class lacks its row, or a row's kind does not fit its container");

}  // namespace

const Row* RowOf(EDBID a_edbid) {
  if (a_edbid >= 0 && a_edbid < DB_ID_COUNT && s_ai8RowOfId[a_edbid] >= 0) return &s_arow[s_ai8RowOfId[a_edbid]];
  OsLog(OS_LOG_ERROR, "transport>>> no rules for this capability...%d", a_edbid);
  return nullptr;
}

// ---------------------------------------------------------------------------
// The five rule operations, for each container; the container's own are
// called by name, past the class's overrides.
// ---------------------------------------------------------------------------
namespace {

template <class Container, class Value>
EOSSTS ValidateOf(Container& a_own, EDBID_WINDOW a_edbidwindow, Value a_value) {
  const Row* prow = RowOf(a_own.GetId());
  if constexpr (std::is_same_v<Container, CDbString>) {
    if (prow && prow->evalidate == ValidateKind::Sound) return ValidateSound(a_own, a_edbidwindow, a_value);
  } else if constexpr (std::is_same_v<Container, CDbEnum>) {
    if (prow && prow->evalidate == ValidateKind::Sensor) return ValidateSensor(a_own, a_edbidwindow, a_value);
  }
  return a_own.Container::Validate(a_edbidwindow, a_value);
}

template <class Container>
EOSSTS FixAccessOf(Container& a_own) {
  const Row* prow = RowOf(a_own.GetId());
  if (!prow || prow->eaccess == AccessKind::Base) return a_own.Container::FixAccess();
  FixAccess(prow->eaccess, a_own);
  return OS_STS_SUCCESS;
}

// Every class is asked in every pass: the modified value is looked at once,
// and only its id among the ones the row follows.
template <class Container>
EOSSTS FixCurrentOf(Container& a_own) {
  const Row* prow = RowOf(a_own.GetId());
  if (!prow || prow->spanfollow.empty()) return a_own.Container::FixCurrent();
  const CDbDatum* pdbdatumModified = CDbDatum::GetModified();
  if (!pdbdatumModified) return OS_STS_SUCCESS;
  const EDBID edbidModified = pdbdatumModified->GetId();
  for (const Follow& follow : prow->spanfollow) {
    if (follow.edbid != edbidModified) continue;
    DbRuleModified dbrulemodified;
    if (CRuleKit::GetModified(&a_own, &dbrulemodified)) React(follow, *prow, a_own, dbrulemodified);
    break;
  }
  return OS_STS_SUCCESS;
}

template <class Container>
EOSSTS FixDefaultOf(Container& a_own) {
  const Row* prow = RowOf(a_own.GetId());
  if (!prow || prow->edefault == DefaultKind::Base) return a_own.Container::FixDefault();
  return FixDefault(prow->edefault, a_own);
}

template <class Container>
void MakeXmlOf(Container& a_own, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if constexpr (std::is_same_v<Container, CDbRange>) {
    const Row* prow = RowOf(a_own.GetId());
    if (prow && prow->emakexml != MakeXmlKind::Base) {
      MakeXml(prow->emakexml, a_own, a_lValue, a_edbdevicedataTarget);
      return;
    }
  }
  a_own.Container::MakeXml(a_lValue, a_edbdevicedataTarget);
}

}  // namespace
}  // namespace transport

#define DB_TRANSPORT_OPERATIONS(NAME, CONTAINER, VALUE)                              \
  EOSSTS C##NAME::Validate(EDBID_WINDOW a_edbidwindow, VALUE a_value) {              \
    return transport::ValidateOf<CONTAINER, VALUE>(*this, a_edbidwindow, a_value);   \
  }                                                                                  \
  EOSSTS C##NAME::FixAccess() { return transport::FixAccessOf<CONTAINER>(*this); }   \
  EOSSTS C##NAME::FixCurrent() { return transport::FixCurrentOf<CONTAINER>(*this); } \
  EOSSTS C##NAME::FixDefault() { return transport::FixDefaultOf<CONTAINER>(*this); } \
  void C##NAME::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {        \
    transport::MakeXmlOf<CONTAINER>(*this, a_lValue, a_edbdevicedataTarget);         \
  }
DB_TRANSPORT_CLASSES(DB_TRANSPORT_OPERATIONS)
#undef DB_TRANSPORT_OPERATIONS
