// The terminal on POSIX: /dev/tty with echo off through termios, and the
// signals that may arrive while echo is off.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

#include "quorin/platform/Terminal.h"

namespace quorin::platform {
namespace {

// The signals that interrupt a prompt. Each is noted while echo is off, and
// acted on once the terminal and the earlier handlers are back: the process
// then stops or ends as that signal asks (removing temporary files, if
// their handler was there before). A prompt that was stopped starts again
// when the process continues, with echo off again.
constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU};
constexpr std::size_t kSignalCount = sizeof kPromptSignals / sizeof kPromptSignals[0];
volatile std::sig_atomic_t noted[kSignalCount];

extern "C" void NotePromptSignal(int sig) {
  for (std::size_t i = 0; i < kSignalCount; ++i)
    if (kPromptSignals[i] == sig) noted[i] = 1;
}

// Installs the noting handler for the prompt's signals (but those the
// process ignores, such as HUP under nohup), and puts the earlier handlers
// back when it goes.
class PromptSignals {
 public:
  PromptSignals() {
    for (std::size_t i = 0; i < kSignalCount; ++i) {
      noted[i] = 0;
      struct sigaction act {};
      act.sa_handler = NotePromptSignal;  // no SA_RESTART: a read in progress ends with EINTR
      sigemptyset(&act.sa_mask);
      ::sigaction(kPromptSignals[i], nullptr, &previous_[i]);
      if (previous_[i].sa_handler != SIG_IGN) ::sigaction(kPromptSignals[i], &act, nullptr);
    }
  }
  ~PromptSignals() { Restore(); }
  PromptSignals(const PromptSignals&) = delete;
  PromptSignals& operator=(const PromptSignals&) = delete;

  bool AnyNoted() const {
    return std::any_of(std::begin(noted), std::end(noted), [](auto n) { return n != 0; });
  }

  // Waits for fd to become readable with the prompt's signals let through,
  // so that one arriving just before the wait still ends it. Returns false
  // when a signal was noted.
  bool WaitForInput(int fd) const {
    sigset_t held, open;
    sigemptyset(&held);
    for (const int sig : kPromptSignals) sigaddset(&held, sig);
    ::pthread_sigmask(SIG_BLOCK, &held, &open);
    struct pollfd input {
      fd, POLLIN, 0
    };
    while (!AnyNoted() && ::ppoll(&input, 1, nullptr, &open) < 0 && errno == EINTR) {
    }
    ::pthread_sigmask(SIG_SETMASK, &open, nullptr);
    return !AnyNoted();
  }

  // Puts the earlier handlers back and delivers the noted signals to them.
  // Returns only if the process goes on (it was stopped and continued, or a
  // handler let it live).
  void Deliver() {
    Restore();
    for (std::size_t i = 0; i < kSignalCount; ++i)
      if (noted[i] != 0) std::raise(kPromptSignals[i]);
  }

 private:
  void Restore() {
    if (restored_) return;
    restored_ = true;
    for (std::size_t i = 0; i < kSignalCount; ++i)
      ::sigaction(kPromptSignals[i], &previous_[i], nullptr);
  }

  struct sigaction previous_[kSignalCount] {};
  bool restored_ = false;
};

}  // namespace

Terminal::Terminal() {
  input_ = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (input_ < 0) throw Missing("there is no terminal");
  output_ = input_;
}

Terminal::~Terminal() {
  ::close(static_cast<int>(input_));
}

SecretBytes Terminal::Ask(const char* prompt, std::size_t longest) {
  const int fd = static_cast<int>(input_);
  for (;;) {
    SecretBytes line(longest + 1);
    std::size_t length = 0;
    bool ended = false, interrupted = false, closed = false;
    {
      PromptSignals signals;
      // Echo goes off before the prompt shows, so nothing typed at it is seen.
      struct termios saved {};
      const bool isTerminal = ::tcgetattr(fd, &saved) == 0;
      if (isTerminal) {
        struct termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSANOW, &quiet);  // keeps what was typed ahead
      }
      Say(prompt, std::strlen(prompt));
      while (length <= longest && signals.WaitForInput(fd)) {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {  // Ctrl-D on an empty line, or the terminal hung up (EIO)
          closed = true;
          break;
        }
        if (c == '\n') {
          ended = true;
          break;
        }
        line[length++] = static_cast<std::uint8_t>(c);
      }
      if (isTerminal) ::tcsetattr(fd, TCSANOW, &saved);
      if (signals.AnyNoted()) {
        interrupted = true;
        Say("\n", 1);
        signals.Deliver();  // returns when the process was stopped and is continued
      }
    }
    if (interrupted) continue;  // ask again, with echo off again
    if (closed) throw Ended("the terminal ended before a line did");
    if (!ended) throw TooLong("the line is longer than " + std::to_string(longest) + " bytes");
    if (length > 0 && line[length - 1] == '\r') --length;
    line.resize(length);
    return line;
  }
}

void Terminal::Say(const void* text, std::size_t size) {
  const auto* at = static_cast<const char*>(text);
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(output_), at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw std::runtime_error(std::string("cannot write to the terminal: ") +
                               (n < 0 ? std::strerror(errno) : "it took nothing"));
    at += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace quorin::platform
