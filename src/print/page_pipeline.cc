#include "print/page_pipeline.h"

#include <utility>

namespace boleto {

PagePipeline::PagePipeline(PrintJob& job, size_t waiting)
    : job_(job), waiting_(waiting == 0 ? 1 : waiting), thread_([this] { DrawAll(); }) {}

PagePipeline::~PagePipeline() {
  if (thread_.joinable()) Finish();
}

void PagePipeline::Add(DrawPage draw) {
  std::unique_lock lock(mutex_);
  taken_.wait(lock, [this] { return queue_.size() < waiting_; });
  queue_.push_back(std::move(draw));
  added_.notify_one();
}

std::vector<Status> PagePipeline::Finish() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  added_.notify_one();
  if (thread_.joinable()) thread_.join();
  return std::move(outcomes_);
}

void PagePipeline::DrawAll() {
  bool page_used = false;  // the current page holds a drawn page already
  std::vector<Status> outcomes;
  for (;;) {
    DrawPage draw;
    {
      std::unique_lock lock(mutex_);
      added_.wait(lock, [this] { return !queue_.empty() || closed_; });
      if (queue_.empty()) break;
      draw = std::move(queue_.front());
      queue_.pop_front();
    }
    taken_.notify_one();
    Status drawn;
    if (page_used) {
      drawn = job_.NewPage();
      if (drawn.ok()) page_used = false;
    }
    if (drawn.ok()) {
      drawn = draw(job_);
      // A failed page that drew part of itself keeps its page: the next one
      // is not drawn over it.
      page_used = drawn.ok() || !job_.surface().PageBlank();
    }
    outcomes.push_back(std::move(drawn));
    draw = nullptr;  // its content goes here, on this thread
  }
  std::lock_guard lock(mutex_);
  outcomes_ = std::move(outcomes);
}

}  // namespace boleto
