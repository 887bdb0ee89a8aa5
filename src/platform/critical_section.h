// A critical section: on Windows the system's, created with a spin count;
// elsewhere a mutex. Callers do not re-enter it from the thread that holds it.
#pragma once

#include <memory>

namespace platform {

class CriticalSection {
 public:
  explicit CriticalSection(unsigned spinCount);
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void lock();
  void unlock();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
