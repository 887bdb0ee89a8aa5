#include <windows.h>

#include "platform/critical_section.h"

namespace platform {

struct CriticalSection::State {
  CRITICAL_SECTION section;
};

CriticalSection::CriticalSection(unsigned spinCount) : state_(std::make_unique<State>()) {
  InitializeCriticalSectionAndSpinCount(&state_->section, spinCount);
}

CriticalSection::~CriticalSection() { DeleteCriticalSection(&state_->section); }

void CriticalSection::lock() { EnterCriticalSection(&state_->section); }

void CriticalSection::unlock() { LeaveCriticalSection(&state_->section); }

}  // namespace platform
