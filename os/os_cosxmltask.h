// The task builder: writes one task message at a time into a fixed-capacity
// buffer, element by element with tab indentation, and patches the total
// length into the task line when the task is finished.
//
// A task message begins with the 91-character line
//   <task id='<20 digits>' reply='<20 digits>' bytes='<20 digits>'>\n
// and ends with "</task>\n"; bytes counts every character up to and
// including that final line feed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

class COsXmlTaskImpl;

class COsXmlTask {
 public:
  static constexpr size_t s_sizetMinimumCapacity = 65536;

  // A non-empty name (shorter than 64 characters) makes a named builder
  // whose buffer is a per-thread block of that name; otherwise the builder
  // owns a private buffer. The capacity is at least 65,536 bytes.
  COsXmlTask(const char* a_szName, size_t a_sizetSize);
  ~COsXmlTask();
  COsXmlTask(const COsXmlTask&) = delete;
  COsXmlTask& operator=(const COsXmlTask&) = delete;

  char* GetTaskBuffer();
  size_t Size();
  // The sticky error flag; a true argument clears it after reading.
  bool IsError(bool a_blClear);
  void Clear();

  // None of these returns a status: a failure is logged and sets the error flag.
  void StartTask(int a_nTaskId, int a_nReplyId, const char* a_szStatus);
  void SetId(int a_nTaskId);
  void SetReplyId(int a_nReplyId);
  void StartCommand(const char* a_pszName, int a_nDepth);
  void AddArgument(const char* a_pszName, const char* a_pszValue, bool a_blFlat = false);
  void AddArgument(const char* a_pszName, int a_nValue, bool a_blFlat = false);
  void AddArgumentDouble(const char* a_pszName, double a_dValue, bool a_blFlat = false);
  void AddArgumentHexPtr(const char* a_pszName, const void* a_pvValue);
  // The value always in a CDATA section.
  void AddArgumentSafe(const char* a_pszName, const char* a_pszValue);
  // The value in a CDATA section when it holds "<" or ">".
  void AddArgumentCheck(const char* a_pszName, const char* a_pszValue);
  void AddPassThrough(const char* a_pszText);
  void FinalizeCommand(const char* a_pszName);
  void FinalizeTask();
  void StartNonTask(const char* a_pszName, int a_nDepth);
  void FinalizeNonTask(const char* a_pszName);

  // Complete replies for callers that have no builder.
  static const char* ReportStatusSuccess();
  static const char* ReportStatusFail();

 private:
  COsXmlTaskImpl* m_posxmltaskimpl;
};
