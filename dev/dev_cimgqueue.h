// A fixed-capacity queue of image records and statuses, through which the
// scan thread, the caller's thread and the device libraries' callback
// threads hand records to one another. The device object owns four.
//
// Records live in slots allocated once; a push takes the first free slot in
// slot order and links it behind the last queued record, so the queue order
// is the push order whatever slots are reused. Text buffers only grow.
//
// A queue may be bound to the driver assistant: every record but user input
// (30) is first offered to it, and a record it takes (51) is not queued.
//
// Locking: one recursive mutex per queue. The assistant's Action runs with
// the queue held, so a push it makes into the same queue on the same thread
// goes through, while other threads wait. The assistant may read the
// database and talk to its process meanwhile, so a bound queue is waited for
// with the database lock given up (CDbLockRelease): the bound queue comes
// before the database lock. An unbound queue is a leaf lock.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>

#include "db_cdblock.h"
#include "dev_def.h"
#include "os_def.h"

class CDrvAssistant;
class CDrvAssistantActionUserAction;

// What Dump writes.
enum EIMGQDUMP : int {
  IMGQ_DUMP_ALL = 0,
  IMGQ_DUMP_FIRST = 1,
  IMGQ_DUMP_LAST = 2,
};

class CImgQueue {
 public:
  // The text size every slot starts with.
  static constexpr size_t s_sizetText = 4096;
  // Growth beyond a text that does not fit.
  static constexpr size_t s_sizetGrowth = 1024;

  // A capacity below 1 is refused (logged): the queue holds nothing. A
  // text that cannot be allocated is logged and leaves the remaining slots
  // without texts (they get one when a push needs it). A reader size (the
  // consumer's buffer, terminator included; 0 for none) refuses a push of a
  // longer text, which its consumer could never take.
  CImgQueue(int a_iCapacity, CDrvAssistant* a_pdrvassistant, size_t a_sizetReader = 0);
  ~CImgQueue();
  CImgQueue(const CImgQueue&) = delete;
  CImgQueue& operator=(const CImgQueue&) = delete;

  // 0 queued, taken by the assistant, or a repeated end of output (13)
  // discarded; 15 full, a text that cannot be allocated or one longer than
  // the reader takes (nothing queued, logged). A null text queues the
  // status alone.
  EOSSTS Push(EDEVSTS a_edevsts, const char* a_szText, const char* a_szText2, int a_iImageCount, int a_iPageCount,
              int a_iPageImageCount, int a_iPageSideCount, int a_iDiscardRepeatedEndOfOutput, bool a_blDump);
  // Removes the oldest record and answers its status, copying its texts and
  // numbers into the outputs given (null outputs are skipped). 17 empty and
  // 15 when a given text output is too small for its text: the outputs are
  // then untouched and the record is dropped (logged), so that it never
  // blocks the records behind it.
  EDEVSTS Pop(char* a_szText, int a_iSize, int* a_piImageCount, int* a_piPageCount, int* a_piPageImageCount,
              int* a_piPageSideCount, char* a_szText2, int a_iSize2, bool a_blDump);
  // Moves the oldest record whose text the test accepts to the head, the
  // others keeping their order; false (nothing moved) when none does.
  // *a_pblMoved, when given, tells whether it was not the head already.
  bool MoveToHead(const std::function<bool(const char*)>& a_fnTest, bool* a_pblMoved = nullptr);
  // The oldest record's status; 17 when empty.
  EDEVSTS PeekAtEdevsts();
  // Whether the oldest record's text fits an output of the size (it does
  // when the queue is empty), so that a caller can tell a record of status
  // 15 from one Pop kept for its size.
  bool HeadFits(size_t a_sizetOutput);
  // True once a_uLimit queued records have a status other than end of
  // sheet (26).
  bool IsFull(unsigned int a_uLimit);
  // Empties the queue; buffers are kept.
  void ResetAll();
  // Makes this queue a copy of the source, in its order, up to this queue's
  // capacity (logged when it stops there).
  void Copy(CImgQueue* a_pimgqueueSource);
  // The selected records to the log.
  void Dump(EIMGQDUMP a_eimgqdump);

  int GetCapacity() const { return m_iCapacity; }
  // The text size of a slot (tests): 0 outside the slots.
  size_t GetTextSize(int a_iSlot) const;

 private:
  struct ImgQueueRecord {
    EDEVSTS edevsts;
    size_t sizetText;
    char* szText;
    size_t sizetText2;
    char* szText2;
    int iImageCount;
    int iPageCount;
    int iPageImageCount;
    int iPageSideCount;
    bool blInUse;
    ImgQueueRecord* pnext;
  };

  // The queue held by the calling thread: with the database lock given up
  // first when the queue is bound, taken back after the queue is released.
  class Hold {
   public:
    explicit Hold(CImgQueue* a_pimgqueue);

   private:
    std::optional<CDbLockRelease> m_dblockrelease;
    std::unique_lock<std::recursive_mutex> m_lock;
  };

  // Under the queue's mutex.
  EOSSTS PushHeld(EDEVSTS a_edevsts, const char* a_szText, const char* a_szText2, int a_iImageCount,
                  int a_iPageCount, int a_iPageImageCount, int a_iPageSideCount, int a_iDiscardRepeatedEndOfOutput,
                  bool a_blDump);
  bool OfferToAssistant(EDEVSTS a_edevsts, const char* a_szText, const char* a_szText2);
  ImgQueueRecord* FreeSlot();
  ImgQueueRecord* Last();
  void Link(ImgQueueRecord* a_pimgqueuerecord);
  static void Clear(ImgQueueRecord* a_pimgqueuerecord);
  void DumpHeld(EIMGQDUMP a_eimgqdump);

  std::recursive_mutex m_mutex;
  int m_iPushDepth = 0;  // pushes of the holding thread in progress
  int m_iCapacity = 0;
  size_t m_sizetReader = 0;  // 0: no limit
  ImgQueueRecord* m_aimgqueuerecord = nullptr;
  ImgQueueRecord* m_phead = nullptr;
  CDrvAssistant* m_pdrvassistant = nullptr;
  CDrvAssistantActionUserAction* m_puseraction = nullptr;  // the last record offered to the assistant
};
