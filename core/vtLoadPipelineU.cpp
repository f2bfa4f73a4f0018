#include "core/vtLoadPipelineU.h"

#include <sched.h>

#include <cstdlib>
#include <exception>
#include <string>

namespace {

vtLoadPipeline* g_active = nullptr;

int CoresAvailable() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

}  // namespace

int vtLoadPipeline::ConfiguredThreads() {
  if (const char* text = std::getenv("VORTANE_LOAD_THREADS")) {
    char* end = nullptr;
    const long threads = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && threads > 0) return static_cast<int>(std::min(threads, 256L));
  }
  return CoresAvailable();
}

vtLoadPipeline::vtLoadPipeline(int threads) {
  if (threads <= 1) return;
  for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

vtLoadPipeline::~vtLoadPipeline() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    wakeMain_.wait(lock, [this] { return busyJobs_ == 0; });
    stopping_ = true;
  }
  wakeWorkers_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  if (g_active == this) g_active = nullptr;
}

vtLoadPipeline* vtLoadPipeline::Active() { return g_active; }

vtLoadPipeline::Attachment::Attachment(vtLoadPipeline& pipeline) : previous_(g_active) { g_active = &pipeline; }

vtLoadPipeline::Attachment::~Attachment() { g_active = previous_; }

void vtLoadPipeline::RunOnWorker(std::function<void()> job) {
  if (!Parallel()) {
    job();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    ++busyJobs_;
  }
  wakeWorkers_.notify_one();
}

void vtLoadPipeline::PostToMain(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wakeMain_.notify_all();
}

std::size_t vtLoadPipeline::RunMainTasks() {
  std::size_t ran = 0;
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) return ran;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    ++ran;
  }
}

void vtLoadPipeline::WaitAndRunMainTasks() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    wakeMain_.wait(lock, [this] { return !tasks_.empty() || busyJobs_ == 0; });
  }
  RunMainTasks();
}

void vtLoadPipeline::Finish() {
  for (;;) {
    RunMainTasks();
    std::unique_lock<std::mutex> lock(mutex_);
    if (busyJobs_ == 0 && tasks_.empty()) return;
    wakeMain_.wait(lock, [this] { return !tasks_.empty() || busyJobs_ == 0; });
  }
}

void vtLoadPipeline::WorkerLoop() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wakeWorkers_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopping, nothing left
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    RunJob(job);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --busyJobs_;
    }
    wakeMain_.notify_all();
  }
}

// A job's exception must not end the program on a worker: it is raised
// again on the main thread, from the task queue, where the loader that
// started the job handles it as its file's failure.
void vtLoadPipeline::RunJob(std::function<void()>& job) {
  try {
    job();
  } catch (...) {
    PostToMain([error = std::current_exception()] { std::rethrow_exception(error); });
  }
}
