// The terminal the user types at (the console on Windows), for prompts
// whose answer must not be seen: echo is off while a line is read, and put
// back whatever ends the prompt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "quorin/platform/SecretMemory.h"

namespace quorin::platform {

class Terminal {
 public:
  // Why a prompt has no answer: the process has no terminal, the terminal
  // ended before a line did (Ctrl-D, Ctrl-Z on Windows, a hang-up), or the
  // line is longer than the caller takes.
  struct Missing : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  struct Ended : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  struct TooLong : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  // Throws Missing.
  Terminal();
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Shows prompt and reads a line of at most `longest` bytes (UTF-8) with
  // echo off; the line end is not kept. Throws Ended or TooLong, never
  // giving an empty answer for an ended terminal. On POSIX, a signal that
  // arrives meanwhile is acted on once echo is back, and a prompt that was
  // stopped asks again when the process continues.
  SecretBytes Ask(const char* prompt, std::size_t longest);
  // Throws std::runtime_error, saying why, when the terminal does not take all of it.
  void Say(const void* text, std::size_t size);

 private:
  std::intptr_t input_ = -1;  // a descriptor, or the console's handles on Windows
  std::intptr_t output_ = -1;
};

}  // namespace quorin::platform
