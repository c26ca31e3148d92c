// A FIFO made for a test, with a reader that copies what comes through it
// into a file. Destroying it waits for the reader: should no program write
// to the FIFO, or the FIFO be replaced, a second name of it (COPY.fifo,
// beside the copy) opened for writing ends the reader's wait.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "support/paths.h"

namespace boleto::testing {

class FifoCopy {
 public:
  FifoCopy(const std::string& path, const std::string& copy) : spare_(copy + ".fifo") {
    mkfifo(spare_.c_str(), 0600);
    link(spare_.c_str(), path.c_str());
    reader_ = std::thread([this, path, copy] {
      std::ofstream(copy, std::ios::binary) << ReadFile(path);
      done_ = true;
    });
  }
  ~FifoCopy() {
    while (!done_) {
      const int release = open(spare_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (release >= 0) close(release);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader_.join();
    unlink(spare_.c_str());
  }
  FifoCopy(const FifoCopy&) = delete;
  FifoCopy& operator=(const FifoCopy&) = delete;

 private:
  std::string spare_;
  std::atomic<bool> done_ = false;
  std::thread reader_;
};

}  // namespace boleto::testing
