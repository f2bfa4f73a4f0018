#include "studio/vtStudioExchangeU.h"

#include <algorithm>

vtStudioExchange::vtStudioExchange()
    : timeline_(std::make_shared<vtTimeline>()), waveform_(std::make_shared<vtWaveform>()) {}

void vtStudioExchange::TakeCommands(std::vector<vtStudioCommand>& out) {
  out.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) return;
  out.swap(queue_);  // the queue keeps out's old storage for the next commands
  taken_ = pushed_;
}

void vtStudioExchange::TakeEdits(std::vector<std::pair<std::uint64_t, vtStudioEdit>>& out) {
  out.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  while (!edits_.empty()) {
    out.push_back(std::move(edits_.front()));
    edits_.pop_front();
  }
}

void vtStudioExchange::FinishEdit(std::uint64_t ticket, vtStudioReply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[ticket] = std::move(reply);
  changed_.notify_all();
}

std::uint64_t vtStudioExchange::PushEdit(const vtStudioEdit& edit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_ || edits_.size() >= kMaxQueuedCommands) return 0;
  edits_.emplace_back(++editTickets_, edit);
  return editTickets_;
}

bool vtStudioExchange::WaitEdit(std::uint64_t ticket, std::chrono::milliseconds limit, vtStudioReply& reply) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto answered = [&] { return stopped_ || answers_.count(ticket) > 0; };
  changed_.wait_for(lock, limit, answered);
  const auto queued = std::find_if(edits_.begin(), edits_.end(), [&](const auto& e) { return e.first == ticket; });
  if (queued != edits_.end()) {  // not taken in time, or stopped: withdrawn
    edits_.erase(queued);
    return false;
  }
  changed_.wait(lock, answered);  // taken: it is answered within its frame
  const auto answer = answers_.find(ticket);
  if (answer == answers_.end()) return false;
  reply = std::move(answer->second);
  answers_.erase(answer);
  return true;
}

void vtStudioExchange::PublishState(const vtStudioState& state) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = state;
  if (applied_ == taken_) return;
  applied_ = taken_;
  changed_.notify_all();
}

void vtStudioExchange::PublishTimeline(std::shared_ptr<const vtTimeline> timeline) {
  std::lock_guard<std::mutex> lock(mutex_);
  timeline_ = std::move(timeline);
}

void vtStudioExchange::PostEvent(const std::string& name, const std::string& data) {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.push_back({++lastEventId_, name, data});
  if (events_.size() > kKeptEvents) events_.pop_front();
  changed_.notify_all();
}

void vtStudioExchange::PublishFolders(const std::string& workDir, const std::string& demoFolder) {
  std::lock_guard<std::mutex> lock(mutex_);
  workFolder_ = workDir;
  demoFolder_ = demoFolder;
}

std::string vtStudioExchange::WorkFolder() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return workFolder_;
}

std::string vtStudioExchange::DemoFolder() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return demoFolder_;
}

void vtStudioExchange::WaveformPending() {
  std::lock_guard<std::mutex> lock(mutex_);
  waveform_.reset();
  waveformPending_ = true;
}

void vtStudioExchange::PublishWaveform(std::shared_ptr<const vtWaveform> waveform) {
  std::lock_guard<std::mutex> lock(mutex_);
  waveform_ = std::move(waveform);
  waveformPending_ = false;
  changed_.notify_all();
}

vtStudioState vtStudioExchange::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

std::uint64_t vtStudioExchange::Push(const vtStudioCommand& command) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_ || queue_.size() >= kMaxQueuedCommands) return 0;
  queue_.push_back(command);
  return ++pushed_;
}

bool vtStudioExchange::WaitApplied(std::uint64_t ticket, std::chrono::milliseconds limit,
                                   vtStudioState& state) const {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool applied = changed_.wait_for(lock, limit, [&] { return stopped_ || applied_ >= ticket; });
  state = state_;
  return applied && applied_ >= ticket;
}

std::shared_ptr<const vtTimeline> vtStudioExchange::Timeline() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return timeline_;
}

std::shared_ptr<const vtWaveform> vtStudioExchange::Waveform(std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, limit, [&] { return stopped_ || !waveformPending_; });
  return waveform_;
}

bool vtStudioExchange::EventsAfter(std::uint64_t after, std::chrono::milliseconds limit,
                                   std::vector<vtStudioEvent>& out) const {
  out.clear();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, limit, [&] { return stopped_ || lastEventId_ > after; });
  for (const vtStudioEvent& event : events_)
    if (event.Id > after) out.push_back(event);
  return !out.empty();
}

std::uint64_t vtStudioExchange::LastEventId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastEventId_;
}

void vtStudioExchange::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = true;
  changed_.notify_all();
}

void vtStudioExchange::Reopen() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = false;
}

bool vtStudioExchange::Stopped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopped_;
}
