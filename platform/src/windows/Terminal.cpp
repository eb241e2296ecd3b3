// The console on Windows: CONIN$ read with echo off (SetConsoleMode), what
// is typed read as UTF-16 and kept as UTF-8, and CONOUT$ for what is said.
// Ctrl-C at the prompt puts echo back before the process ends.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "quorin/platform/Terminal.h"

namespace quorin::platform {
namespace {

struct QuietConsole {
  HANDLE input;
  DWORD mode;
};
std::atomic<const QuietConsole*> quieted{nullptr};

// Runs before the handler that ends the process on Ctrl-C (handlers added
// later run first) and lets it run next.
BOOL WINAPI PutEchoBack(DWORD) {
  if (const QuietConsole* console = quieted.load()) ::SetConsoleMode(console->input, console->mode);
  return FALSE;
}

HANDLE Handle(std::intptr_t value) {
  return reinterpret_cast<HANDLE>(value);
}

}  // namespace

Terminal::Terminal() {
  const HANDLE input =
      ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &mode)) {
    if (input != INVALID_HANDLE_VALUE) ::CloseHandle(input);
    throw Missing("there is no console");
  }
  input_ = reinterpret_cast<std::intptr_t>(input);
  output_ = reinterpret_cast<std::intptr_t>(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                          nullptr, OPEN_EXISTING, 0, nullptr));
}

Terminal::~Terminal() {
  ::CloseHandle(Handle(input_));
  if (Handle(output_) != INVALID_HANDLE_VALUE) ::CloseHandle(Handle(output_));
}

SecretBytes Terminal::Ask(const char* prompt, std::size_t longest) {
  const HANDLE input = Handle(input_);
  QuietConsole console{input, 0};
  ::GetConsoleMode(input, &console.mode);
  quieted = &console;
  ::SetConsoleCtrlHandler(PutEchoBack, TRUE);
  ::SetConsoleMode(input, (console.mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) |
                              ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
  Say(prompt, std::strlen(prompt));
  // Room for the longest passphrase in UTF-16 and its line end.
  std::vector<wchar_t, SecretAllocator<wchar_t>> typed(longest + 3);
  std::size_t length = 0;
  bool ended = false, closed = false;
  while (length < typed.size()) {
    DWORD n = 0;
    if (!::ReadConsoleW(input, typed.data() + length, static_cast<DWORD>(typed.size() - length), &n,
                        nullptr) ||
        n == 0) {
      closed = true;  // the console went away
      break;
    }
    length += n;
    if (typed[length - 1] == L'\n') {
      ended = true;
      break;
    }
  }
  ::SetConsoleMode(input, console.mode);
  ::SetConsoleCtrlHandler(PutEchoBack, FALSE);
  quieted = nullptr;
  Say("\r\n", 2);  // the Enter typed was not shown
  while (length > 0 && (typed[length - 1] == L'\n' || typed[length - 1] == L'\r')) --length;
  // Ctrl-Z and Enter: the console's end of input.
  if (closed || (length > 0 && typed[0] == L'\x1a'))
    throw Ended("the console ended before a line did");
  SecretBytes line(length * 3);
  const int size = length == 0
                       ? 0
                       : ::WideCharToMultiByte(CP_UTF8, 0, typed.data(), static_cast<int>(length),
                                               reinterpret_cast<char*>(line.data()),
                                               static_cast<int>(line.size()), nullptr, nullptr);
  line.resize(static_cast<std::size_t>(size));
  if (!ended || line.size() > longest)
    throw TooLong("the line is longer than " + std::to_string(longest) + " bytes");
  return line;
}

void Terminal::Say(const void* text, std::size_t size) {
  DWORD written = 0;
  if (!::WriteFile(Handle(output_), text, static_cast<DWORD>(size), &written, nullptr) ||
      written != size)
    throw std::runtime_error("cannot write to the console");
}

}  // namespace quorin::platform
