#include "Passphrase.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "Errors.h"
#include "KeyMaterial.h"

namespace quorin {
namespace {

constexpr std::size_t kLongestPassphrase = 1024;

// The terminal's settings while echo is off, restored if a signal ends the
// prompt: a person must not be left with a terminal that shows nothing.
int ttyFd = -1;
struct termios savedTerminal;
constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

extern "C" void RestoreTerminalAndDie(int sig) {
  if (ttyFd >= 0) ::tcsetattr(ttyFd, TCSAFLUSH, &savedTerminal);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

class Terminal {
 public:
  Terminal() {
    fd_ = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0)
      throw UsageError(
          "there is no terminal to ask for the passphrase: pass --passphrase-file FILE or "
          "--passphrase-env NAME, or use --key-file FILE");
  }
  ~Terminal() { ::close(fd_); }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  SecretBytes Ask(const char* prompt) {
    Say(prompt);
    struct termios quiet {};
    const bool isTerminal = ::tcgetattr(fd_, &savedTerminal) == 0;
    if (isTerminal) {
      quiet = savedTerminal;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      quiet.c_lflag |= ECHONL;
      ttyFd = fd_;
      for (int sig : kPromptSignals) ::signal(sig, RestoreTerminalAndDie);
      ::tcsetattr(fd_, TCSANOW, &quiet);  // keeps what was typed ahead
    }
    SecretBytes line(kLongestPassphrase + 1);
    std::size_t length = 0;
    bool ended = false;
    for (char c; length <= kLongestPassphrase;) {
      const ssize_t n = ::read(fd_, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || c == '\n') {
        ended = true;
        break;
      }
      line[length++] = static_cast<std::uint8_t>(c);
    }
    if (isTerminal) {
      ::tcsetattr(fd_, TCSANOW, &savedTerminal);
      for (int sig : kPromptSignals) ::signal(sig, SIG_DFL);
      ttyFd = -1;
    }
    if (!ended)
      throw UsageError("the passphrase is longer than " + std::to_string(kLongestPassphrase) +
                       " bytes");
    if (length > 0 && line[length - 1] == '\r') --length;
    line.resize(length);
    return line;
  }

  void Say(const char* text) {
    [[maybe_unused]] const ssize_t n = ::write(fd_, text, std::strlen(text));
  }

 private:
  int fd_;
};

SecretBytes NotEmpty(SecretBytes passphrase, const std::string& where) {
  if (passphrase.empty()) throw UsageError("the passphrase " + where + " is empty");
  return passphrase;
}

}  // namespace

SecretBytes PromptPassphrase(bool confirm) {
  Terminal tty;
  SecretBytes first = NotEmpty(tty.Ask("Passphrase: "), "typed");
  if (confirm) {
    const SecretBytes again = tty.Ask("Passphrase again: ");
    if (again != first) throw CommandError("the two passphrases differ: nothing was sealed");
  }
  return first;
}

SecretBytes PassphraseFromFile(const std::string& path) {
  SecretBytes data = ReadKeyFile(path, "passphrase", kLongestPassphrase);
  auto end = std::find(data.begin(), data.end(), '\n');
  if (end != data.begin() && end[-1] == '\r') --end;
  data.resize(static_cast<std::size_t>(end - data.begin()));
  return NotEmpty(std::move(data), "in '" + path + "'");
}

SecretBytes PassphraseFromEnvironment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) throw UsageError("the environment variable " + name + " is not set");
  return NotEmpty(SecretBytes(value, value + std::strlen(value)), "in " + name);
}

}  // namespace quorin
