// The live progress line of a month-end batch, e.g. "imprimindo 120/2013
// 980 boletos/s  restam 0:05". What it says at one moment is a pure
// function of counts and times (`ProgressLine`); `BatchProgress` keeps the
// times of the phases and says when the line is due again.
//
// A rate and a time left are shown only once the phase has gone on for 20
// boletos or 2 seconds: before that they say nothing true. The time left is
// that of the whole run: while printing, the lines left plus the recording
// of every page (each recording estimated from what printing one line
// took, the only measure there is yet); while recording, the installments
// left at the recording's own rate (estimated from the printing's until
// that rate means something). Pure: no clock of its own, no output.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace boleto {

enum class BatchPhase { kPrinting, kRecording };

// One moment of a batch, as the progress line reports it.
struct ProgressMoment {
  BatchPhase phase = BatchPhase::kPrinting;
  size_t done = 0;              // lines read, or installments recorded
  size_t total = 0;             // lines of the file, or installments to record
  size_t drawn = 0;             // printing: pages drawn so far, each to be recorded
  double seconds = 0;           // since the phase began
  double seconds_per_line = 0;  // recording: what printing took per line; 0 unknown
};

// "imprimindo 20/10000  1000 boletos/s  restam 0:20": the phase, the count,
// then the rate and the time left (rounded up to the second) once they mean
// something.
std::string ProgressLine(const ProgressMoment& moment);

class BatchProgress {
 public:
  using Clock = std::chrono::steady_clock;

  explicit BatchProgress(Clock::time_point started) : phase_started_(started) {}

  // The recording begins at `now`: its rate is measured from here on.
  void StartRecording(Clock::time_point now);
  // The line for `done` of `total` at `now`; nothing while the last line
  // shown is younger than 200 ms, unless `force`.
  std::optional<std::string> Update(Clock::time_point now, size_t done, size_t total, size_t drawn,
                                    bool force = false);

 private:
  BatchPhase phase_ = BatchPhase::kPrinting;
  Clock::time_point phase_started_;
  std::optional<Clock::time_point> last_shown_;
  size_t lines_printed_ = 0;  // the printing phase's last count
  double seconds_per_line_ = 0;
};

}  // namespace boleto
