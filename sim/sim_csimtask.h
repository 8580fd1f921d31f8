// The task side shared by the stand-in libraries: the id and the command of
// a task text, and the reply to it (the status word first, then the report
// elements), kept for the calling thread until its next reply.
#pragma once

#include <cstdint>
#include <string>

#include "sim_csimnode.h"

class CSimTask {
 public:
  // Reads the id of the task element and its first child, the command.
  // False (logged under a_szWho) for a text that is no task or whose id is
  // missing or beyond 31 bits; a_u64Id is then 0 when the id was not read.
  static bool Read(const char* a_szWho, const char* a_szTask, uint64_t& a_u64Id, CSimNode& a_simnodeCommand);
  // The reply task answering a_u64Id, sized to the report elements; "fail"
  // alone when the reply cannot be written. Valid until the calling
  // thread's next Reply.
  static const char* Reply(const char* a_szWho, int a_iReplyId, uint64_t a_u64Id, const char* a_szStatus,
                           const CSimNode& a_simnodeReply);
  // Appends one line for a task to the task log at a_strPath (nothing for
  // an empty path): milliseconds of the wall clock, the unit, the task id,
  // the command, each direct child of the command as name=value (the value
  // cut to 200 characters), the status answered; tab-separated, control
  // characters of values made blanks, written in one piece.
  static void Log(const std::string& a_strPath, const char* a_szUnit, uint64_t a_u64Id,
                  const CSimNode& a_simnodeCommand, const char* a_szStatus);
  // The elements of a file (a piece of a report inquiry, without its own
  // reportinquiry element) as the children of a_simnodeInquiry. False, with
  // the reason in a_strError, for a file that cannot be read or parsed.
  static bool ReadInquiryFile(const std::string& a_strPath, CSimNode& a_simnodeInquiry, std::string& a_strError);
};
