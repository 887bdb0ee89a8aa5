#include <pthread.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <stdexcept>

#include "platform/stack_thread.h"

namespace platform {
namespace {

struct Job {
  const std::function<void()>* work;
  std::exception_ptr failure;
};

void* RunJob(void* argument) {
  auto* job = static_cast<Job*>(argument);
  try {
    (*job->work)();
  } catch (...) {
    job->failure = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void RunWithStack(std::size_t stackBytes, const std::function<void()>& work) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) throw std::runtime_error("no thread attributes");
  pthread_attr_setstacksize(&attributes,
                            std::max(stackBytes, static_cast<std::size_t>(PTHREAD_STACK_MIN)));
  Job job{&work, nullptr};
  pthread_t thread;
  const int started = pthread_create(&thread, &attributes, &RunJob, &job);
  pthread_attr_destroy(&attributes);
  if (started != 0) throw std::runtime_error("cannot start a thread");
  pthread_join(thread, nullptr);
  if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace platform
