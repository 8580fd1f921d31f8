// The limits of a subsystem's long waits, one table of defaults: each limit
// can be replaced at any time (tests shorten a wait) and a negative time
// restores its default. Constant-initialized, so a limit may be read
// before anything else of the process has run.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

template <size_t N>
class COsWaitLimits {
 public:
  constexpr explicit COsWaitLimits(const long (&a_alDefault)[N])
      : COsWaitLimits(a_alDefault, std::make_index_sequence<N>{}) {}

  // The limit in milliseconds; 0 for a wait outside the table.
  long Get(int a_iWait) const { return Known(a_iWait) ? m_alLimit[a_iWait].load(std::memory_order_relaxed) : 0; }
  void Set(int a_iWait, long a_lMilliseconds) {
    if (!Known(a_iWait)) return;
    m_alLimit[a_iWait].store(a_lMilliseconds < 0 ? m_alDefault[a_iWait] : a_lMilliseconds, std::memory_order_relaxed);
  }

 private:
  template <size_t... I>
  constexpr COsWaitLimits(const long (&a_alDefault)[N], std::index_sequence<I...>)
      : m_alDefault{a_alDefault[I]...}, m_alLimit{a_alDefault[I]...} {}
  static bool Known(int a_iWait) { return a_iWait >= 0 && static_cast<size_t>(a_iWait) < N; }

  long m_alDefault[N];
  std::atomic<long> m_alLimit[N];
};
