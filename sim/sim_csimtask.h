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
  // The reply task answering a_u64Id; "fail" alone when the reply does not
  // fit a task. Valid until the calling thread's next Reply.
  static const char* Reply(const char* a_szWho, int a_iReplyId, uint64_t a_u64Id, const char* a_szStatus,
                           const CSimNode& a_simnodeReply);
  // The elements of a file (a piece of a report inquiry, without its own
  // reportinquiry element) as the children of a_simnodeInquiry. False, with
  // the reason in a_strError, for a file that cannot be read or parsed.
  static bool ReadInquiryFile(const std::string& a_strPath, CSimNode& a_simnodeInquiry, std::string& a_strError);
};
