#include "startup/batch_progress.h"

#include <cmath>
#include <cstdio>

namespace boleto {
namespace {

// A rate means something once the phase has gone on this long or this far:
// the first boletos pay for opening connections and reading settings, and
// a rate from one of them promised minutes for a run of seconds.
constexpr size_t kBoletosForARate = 20;
constexpr double kSecondsForARate = 2.0;
// Until the recording has a rate of its own, an installment is taken to
// record in half the time it took to print: so it goes on PostgreSQL (9 s
// of recording after 18 s of composing and drawing 10,000 boletos); SQLite
// records faster still, and the estimate errs long, never short.
constexpr double kRecordingShareOfPrinting = 0.5;
// The line is rewritten at most this often.
constexpr std::chrono::milliseconds kProgressInterval{200};

bool RateMeansSomething(size_t done, double seconds) {
  return done > 0 && seconds > 0 && (done >= kBoletosForARate || seconds >= kSecondsForARate);
}

}  // namespace

std::string ProgressLine(const ProgressMoment& m) {
  const bool printing = m.phase == BatchPhase::kPrinting;
  std::string line = std::string(printing ? "imprimindo " : "gravando ") + std::to_string(m.done) +
                     "/" + std::to_string(m.total);
  const size_t left = m.total > m.done ? m.total - m.done : 0;
  std::optional<double> rate;
  std::optional<double> seconds_left;
  if (RateMeansSomething(m.done, m.seconds)) {
    rate = static_cast<double>(m.done) / m.seconds;
    const double per_one = m.seconds / static_cast<double>(m.done);
    if (printing) {
      // The pages the whole file will give, at the share of lines drawn so
      // far, are all still to be recorded.
      const double pages =
          static_cast<double>(m.drawn) * static_cast<double>(m.total) / static_cast<double>(m.done);
      seconds_left = per_one * (static_cast<double>(left) + kRecordingShareOfPrinting * pages);
    } else {
      seconds_left = per_one * static_cast<double>(left);
    }
  } else if (!printing && m.seconds_per_line > 0) {
    seconds_left = kRecordingShareOfPrinting * m.seconds_per_line * static_cast<double>(left);
  }
  char text[64];
  if (rate) {
    std::snprintf(text, sizeof text, "  %.0f boletos/s", *rate);
    line += text;
  }
  if (seconds_left) {
    const long whole = static_cast<long>(std::ceil(*seconds_left));
    std::snprintf(text, sizeof text, "  restam %ld:%02ld", whole / 60, whole % 60);
    line += text;
  }
  return line;
}

void BatchProgress::StartRecording(Clock::time_point now) {
  if (lines_printed_ > 0) {
    seconds_per_line_ = std::chrono::duration<double>(now - phase_started_).count() /
                        static_cast<double>(lines_printed_);
  }
  phase_ = BatchPhase::kRecording;
  phase_started_ = now;
  last_shown_.reset();
}

std::optional<std::string> BatchProgress::Update(Clock::time_point now, size_t done, size_t total,
                                                 size_t drawn, bool force) {
  if (phase_ == BatchPhase::kPrinting) lines_printed_ = done;
  if (!force && last_shown_ && now - *last_shown_ < kProgressInterval) return std::nullopt;
  last_shown_ = now;
  return ProgressLine({.phase = phase_,
                       .done = done,
                       .total = total,
                       .drawn = drawn,
                       .seconds = std::chrono::duration<double>(now - phase_started_).count(),
                       .seconds_per_line = seconds_per_line_});
}

}  // namespace boleto
