#include <mutex>

#include "platform/critical_section.h"

namespace platform {

struct CriticalSection::State {
  std::mutex mutex;
};

CriticalSection::CriticalSection(unsigned) : state_(std::make_unique<State>()) {}

CriticalSection::~CriticalSection() = default;

void CriticalSection::lock() { state_->mutex.lock(); }

void CriticalSection::unlock() { state_->mutex.unlock(); }

}  // namespace platform
