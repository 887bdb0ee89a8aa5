#include <windows.h>

#include <exception>
#include <stdexcept>

#include "platform/stack_thread.h"

namespace platform {
namespace {

struct Job {
  const std::function<void()>* work;
  std::exception_ptr failure;
};

DWORD WINAPI RunJob(void* argument) {
  auto* job = static_cast<Job*>(argument);
  try {
    (*job->work)();
  } catch (...) {
    job->failure = std::current_exception();
  }
  return 0;
}

}  // namespace

void RunWithStack(std::size_t stackBytes, const std::function<void()>& work) {
  Job job{&work, nullptr};
  HANDLE thread =
      CreateThread(nullptr, stackBytes, &RunJob, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!thread) throw std::runtime_error("cannot start a thread");
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace platform
