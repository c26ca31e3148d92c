// Draws the pages of one job on a thread of its own, in the order they are
// handed over, while the caller reads and composes the next ones: a batch
// of boletos then waits for the database or for the PDF, not for both.
// The pipeline owns the job while it runs: everything that touches the
// job's surface (cairo, and the fonts it draws with) runs on that thread,
// and the caller gets the job back from Finish, once the thread has ended.
//
// The first page is drawn on the job's current page, each later one on a
// new page after it. A page whose drawing fails leaves nothing behind: what
// it drew (its barcode among it) is taken off the page again, and the next
// one is drawn in its place. Each page's outcome is what its drawing
// returns, to the caller's drawing function itself; the pipeline answers
// for the document as a whole.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/status.h"
#include "print/print_job.h"

namespace boleto {

class PagePipeline {
 public:
  // Draws one page's content on the job's current page.
  using DrawPage = std::function<Status(PrintJob& job)>;

  // The job handed back, and how its document went: an error when the
  // document cannot be handed over as it is (a new page could not be
  // started, or a failed page's drawing could not be taken off it).
  struct Finished {
    std::unique_ptr<PrintJob> job;
    Status document;
  };

  // Takes the job and starts the drawing thread; at most `waiting` pages
  // wait to be drawn, which bounds the memory their content holds.
  // REQUIRES: job is not null.
  PagePipeline(std::unique_ptr<PrintJob> job, size_t waiting);
  // Finishes, if Finish was not called; the job goes with the pipeline.
  ~PagePipeline();
  PagePipeline(const PagePipeline&) = delete;
  PagePipeline& operator=(const PagePipeline&) = delete;

  // Queues a page after the earlier ones; waits while `waiting` pages wait.
  // A page added after Finish is not drawn.
  void Add(DrawPage draw);
  // Waits until every page is drawn, stops the thread and hands the job
  // back; after a spoilt document the pages queued are not drawn. A second
  // call hands back no job.
  Finished Finish();

 private:
  void DrawAll();

  std::unique_ptr<PrintJob> job_;  // the drawing thread's until it has ended
  const size_t waiting_;
  std::mutex mutex_;
  std::condition_variable added_;  // a page waits, or no more will come
  std::condition_variable taken_;  // room for another page
  std::deque<DrawPage> queue_;
  Status document_;
  bool closed_ = false;
  std::thread thread_;
};

}  // namespace boleto
