// Version strings of every component that works with the driver, kept
// together for logs, device reports and the version dialog. Each slot holds
// a text of at most 511 bytes; a longer text is not stored and the slot
// keeps what it had. Three programs report no version of their own: their
// slots are read from the VERSION resource appended to the program file in
// the home directory, on every request until one is found.
#pragma once

#include "os_def.h"

enum EDBVERSIONSLOT : int {
  DB_VERSION_NUMBERADF = 0,
  DB_VERSION_TEXTADF,
  DB_VERSION_NUMBERFLATBED,
  DB_VERSION_TEXTFLATBED,
  DB_VERSION_NUMBERNEXILADF,
  DB_VERSION_TEXTNEXILADF,
  DB_VERSION_NUMBERNEXILFLATBED,
  DB_VERSION_TEXTNEXILFLATBED,
  DB_VERSION_DEVICEMANAGERADF,
  DB_VERSION_DEVICEMANAGERFLATBED,
  DB_VERSION_FIRMWAREADF,
  DB_VERSION_FIRMWAREFLATBED,
  DB_VERSION_NEXILADF,
  DB_VERSION_NEXILFLATBED,
  DB_VERSION_DEVICEADF,
  DB_VERSION_DEVICEFLATBED,
  DB_VERSION_UI,
  DB_VERSION_DRVASSISTUI,
  DB_VERSION_DRIVER,
  DB_VERSION_DRIVERDRAVIX,
  DB_VERSION_CALLER,
  DB_VERSION_SLOTS,
};

struct CDbVersionImpl;

class CDbVersion {
 public:
  CDbVersion();
  ~CDbVersion();
  CDbVersion(const CDbVersion&) = delete;
  CDbVersion& operator=(const CDbVersion&) = delete;

  // Every setter copies the text whole or not at all; every getter answers
  // its slot (empty until set), null only without the slots.
  void SetVersionNumberAdf(const char* a_sz) { Set(DB_VERSION_NUMBERADF, a_sz); }
  void SetVersionTextAdf(const char* a_sz) { Set(DB_VERSION_TEXTADF, a_sz); }
  void SetVersionNumberFlatbed(const char* a_sz) { Set(DB_VERSION_NUMBERFLATBED, a_sz); }
  void SetVersionTextFlatbed(const char* a_sz) { Set(DB_VERSION_TEXTFLATBED, a_sz); }
  void SetVersionNumberNexilAdf(const char* a_sz) { Set(DB_VERSION_NUMBERNEXILADF, a_sz); }
  void SetVersionTextNexilAdf(const char* a_sz) { Set(DB_VERSION_TEXTNEXILADF, a_sz); }
  void SetVersionNumberNexilFlatbed(const char* a_sz) { Set(DB_VERSION_NUMBERNEXILFLATBED, a_sz); }
  void SetVersionTextNexilFlatbed(const char* a_sz) { Set(DB_VERSION_TEXTNEXILFLATBED, a_sz); }
  void SetVersionDeviceManagerAdf(const char* a_sz) { Set(DB_VERSION_DEVICEMANAGERADF, a_sz); }
  void SetVersionDeviceManagerFlatbed(const char* a_sz) { Set(DB_VERSION_DEVICEMANAGERFLATBED, a_sz); }
  void SetVersionFirmwareAdf(const char* a_sz) { Set(DB_VERSION_FIRMWAREADF, a_sz); }
  void SetVersionFirmwareFlatbed(const char* a_sz) { Set(DB_VERSION_FIRMWAREFLATBED, a_sz); }
  void SetVersionNexilAdf(const char* a_sz) { Set(DB_VERSION_NEXILADF, a_sz); }
  void SetVersionNexilFlatbed(const char* a_sz) { Set(DB_VERSION_NEXILFLATBED, a_sz); }
  void SetVersionDeviceAdf(const char* a_sz) { Set(DB_VERSION_DEVICEADF, a_sz); }
  void SetVersionDeviceFlatbed(const char* a_sz) { Set(DB_VERSION_DEVICEFLATBED, a_sz); }
  void SetVersionUi(const char* a_sz) { Set(DB_VERSION_UI, a_sz); }
  void SetVersionDrvAssistUi(const char* a_sz) { Set(DB_VERSION_DRVASSISTUI, a_sz); }
  void SetVersionDriver(const char* a_sz) { Set(DB_VERSION_DRIVER, a_sz); }
  void SetVersionDriverDravix(const char* a_sz) { Set(DB_VERSION_DRIVERDRAVIX, a_sz); }
  void SetVersionCaller(const char* a_sz) { Set(DB_VERSION_CALLER, a_sz); }

  const char* GetVersionNumberAdf() { return Get(DB_VERSION_NUMBERADF); }
  const char* GetVersionTextAdf() { return Get(DB_VERSION_TEXTADF); }
  const char* GetVersionNumberFlatbed() { return Get(DB_VERSION_NUMBERFLATBED); }
  const char* GetVersionTextFlatbed() { return Get(DB_VERSION_TEXTFLATBED); }
  const char* GetVersionNumberNexilAdf() { return Get(DB_VERSION_NUMBERNEXILADF); }
  const char* GetVersionTextNexilAdf() { return Get(DB_VERSION_TEXTNEXILADF); }
  const char* GetVersionNumberNexilFlatbed() { return Get(DB_VERSION_NUMBERNEXILFLATBED); }
  const char* GetVersionTextNexilFlatbed() { return Get(DB_VERSION_TEXTNEXILFLATBED); }
  const char* GetVersionDeviceManagerAdf() { return Get(DB_VERSION_DEVICEMANAGERADF); }
  const char* GetVersionDeviceManagerFlatbed() { return Get(DB_VERSION_DEVICEMANAGERFLATBED); }
  const char* GetVersionFirmwareAdf() { return Get(DB_VERSION_FIRMWAREADF); }
  const char* GetVersionFirmwareFlatbed() { return Get(DB_VERSION_FIRMWAREFLATBED); }
  const char* GetVersionNexilAdf() { return Get(DB_VERSION_NEXILADF); }
  const char* GetVersionNexilFlatbed() { return Get(DB_VERSION_NEXILFLATBED); }
  const char* GetVersionDeviceAdf() { return Get(DB_VERSION_DEVICEADF); }
  const char* GetVersionDeviceFlatbed() { return Get(DB_VERSION_DEVICEFLATBED); }
  const char* GetVersionDriver() { return Get(DB_VERSION_DRIVER); }
  const char* GetVersionCaller() { return Get(DB_VERSION_CALLER); }
  // Read from the program's VERSION resource while the slot is empty.
  const char* GetVersionUi();
  const char* GetVersionDrvAssistUi();
  const char* GetVersionDriverDravix();

  // At most this many bytes of a program's VERSION resource are taken.
  static constexpr size_t s_sizetResourceText = 31;

 private:
  void Set(EDBVERSIONSLOT a_edbversionslot, const char* a_szText);
  const char* Get(EDBVERSIONSLOT a_edbversionslot);
  // The slot, first filled from the program file's VERSION resource in the
  // home directory when it is empty.
  const char* GetLazy(EDBVERSIONSLOT a_edbversionslot, const char* a_szProgram);

  CDbVersionImpl* m_pdbversionimpl;
};
