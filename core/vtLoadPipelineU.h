// The load pipeline: worker threads for the pure CPU steps of loading
// (decoding pictures and making their mipmap levels, reading ASE files),
// and one queue through which their results come back to the main thread.
// The main thread keeps every GL call, every log entry, message and
// loading-bar picture, in the order the loaders ask for them; so a demo
// loads to the same textures, lists, log and messages with any number of
// workers.
//
// A pipeline is attached while the demo system loads its items; loaders
// ask Active() and fall back to loading in place without one (tests,
// reloads, tools). With one thread (VORTANE_LOAD_THREADS=1) it has no
// workers: Parallel() is false and the loaders run as they always did.
//
// Threads: everything here on the main thread, except RunOnWorker's job
// (on a worker) and PostToMain (any thread). A job touches no Global
// object and shows no box: it hands plain data to the main thread with
// PostToMain. An exception that escapes a job is thrown again on the main
// thread by the task runners (RunMainTasks and the rest); a task's own
// exception leaves them the same way, the later tasks kept queued. The destructor waits for every job; tasks still queued then
// are dropped (Finish runs them).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class vtLoadPipeline {
 public:
  // VORTANE_LOAD_THREADS when it is a positive number, else the cores this
  // process may run on.
  static int ConfiguredThreads();

  // threads <= 1: no workers. Otherwise that many workers.
  explicit vtLoadPipeline(int threads);
  ~vtLoadPipeline();
  vtLoadPipeline(const vtLoadPipeline&) = delete;
  vtLoadPipeline& operator=(const vtLoadPipeline&) = delete;

  bool Parallel() const { return !workers_.empty(); }

  // The attached pipeline, or nullptr.
  static vtLoadPipeline* Active();
  // Attaches a pipeline for its lifetime.
  class Attachment {
   public:
    explicit Attachment(vtLoadPipeline& pipeline);
    ~Attachment();
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

   private:
    vtLoadPipeline* previous_;
  };

  // Runs job on a worker (in place, at once, without workers).
  void RunOnWorker(std::function<void()> job);
  // Queues task for the main thread; tasks run in the order they came.
  void PostToMain(std::function<void()> task);
  // Main thread: runs the queued tasks; how many ran.
  std::size_t RunMainTasks();
  // Main thread: waits until a task is queued, then runs the queued tasks.
  // Returns at once when none can come (no job left).
  void WaitAndRunMainTasks();
  // Main thread: runs tasks until every job has ended and no task is left.
  void Finish();

 private:
  void WorkerLoop();
  void RunJob(std::function<void()>& job);

  std::vector<std::thread> workers_;
  // mutex_ guards jobs_, tasks_, busyJobs_ and stopping_; wakeWorkers_ and
  // wakeMain_ are signalled under it.
  std::mutex mutex_;
  std::condition_variable wakeWorkers_;
  std::condition_variable wakeMain_;
  std::deque<std::function<void()>> jobs_;
  std::deque<std::function<void()>> tasks_;
  std::size_t busyJobs_ = 0;  // queued or running
  bool stopping_ = false;
};
