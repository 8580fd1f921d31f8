// The callback messages the device-manager libraries hand to the entry
// points registered with them: a task whose "callback" command names the
// callback ("callbackname"), carries the registered argument as hexadecimal
// digits ("userargumentptr") and what the callback reports. The argument is
// an object of the engine; the objects a library may name are listed while
// they live, so that a library calling after its interface closed (or one
// that sends nonsense) is logged and ignored.
#pragma once

#include <cstddef>
#include <set>
#include <shared_mutex>

// A message's contents are read into buffers of this size: a longer one is
// cut (logged), never dropped.
constexpr size_t DEV_CALLBACKCONTENT_SIZE = 128;

// The content between <element> and </element>, cut to the buffer; false
// (the buffer empty) when the element is missing.
bool DevCallbackContent(const char* a_szMessage, const char* a_szElement,
                        char (&a_szContent)[DEV_CALLBACKCONTENT_SIZE]);

// The objects of one kind alive in the process. A callback holds the mutex
// shared for its whole run; an object leaves the list only once the
// callbacks running have returned. Instances are never destroyed: library
// threads may call back while the process exits.
class CDevCallbackTargets {
 public:
  void Enlist(const void* a_pvTarget);
  // Waits for the running callbacks outside the database lock, which they
  // take.
  void Delist(const void* a_pvTarget);
  std::shared_mutex& Mutex() { return m_sharedmutex; }
  // Under the mutex.
  bool Contains(const void* a_pvTarget) const { return m_setpvTarget.count(a_pvTarget) != 0; }

 private:
  std::shared_mutex m_sharedmutex;
  std::set<const void*> m_setpvTarget;
};

// How an entry point reads its messages.
struct DevCallbackKind {
  const char* szName;    // the callbackname the message must carry
  const char* szWhat;    // logged with the message: "callback>>> <what> <message>"
  const char* szNull;    // logged for a zero argument
  const char* szTarget;  // what the argument names, for the log
};

// The living object a message names, or null (logged): no message, another
// callback's name, no argument, one that is not 1 to 16 hexadecimal digits
// (after an optional "0x", blanks after them allowed), zero, or no living
// object. The caller holds the targets' mutex shared.
void* DevCallbackTarget(const CDevCallbackTargets& a_devcallbacktargets, const void* a_pvArg,
                        const DevCallbackKind& a_devcallbackkind);
