#include "print/page_pipeline.h"

#include <utility>

namespace boleto {

PagePipeline::PagePipeline(std::unique_ptr<PrintJob> job, size_t waiting)
    : job_(std::move(job)), waiting_(waiting == 0 ? 1 : waiting), thread_([this] { DrawAll(); }) {}

PagePipeline::~PagePipeline() {
  if (thread_.joinable()) Finish();
}

void PagePipeline::Add(DrawPage draw) {
  std::unique_lock lock(mutex_);
  taken_.wait(lock, [this] { return queue_.size() < waiting_ || closed_; });
  if (closed_) return;  // finished: no thread left to draw it
  queue_.push_back(std::move(draw));
  added_.notify_one();
}

PagePipeline::Finished PagePipeline::Finish() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  added_.notify_one();
  taken_.notify_all();
  if (thread_.joinable()) thread_.join();
  // The thread has ended: the job is the caller's again.
  return Finished{std::move(job_), document_};
}

void PagePipeline::DrawAll() {
  bool page_used = false;  // the current page holds a drawn page already
  Status document;
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
    if (!document.ok()) continue;  // the pages after a spoilt document are not drawn
    if (page_used) {
      document = job_->NewPage();
      if (!document.ok()) continue;
      page_used = false;
    }
    if (draw(*job_).ok()) {
      page_used = true;
    } else if (!job_->surface().PageBlank()) {
      // A page that failed part-way goes whole: a barcode on it would be
      // paid, and its installment is never recorded.
      document = job_->ClearPage();
    }
    draw = nullptr;  // its content goes here, on this thread
  }
  std::lock_guard lock(mutex_);
  document_ = std::move(document);
}

}  // namespace boleto
