// What outputs do alike on every platform; posix/Files.cpp and
// windows/Files.cpp open and examine inputs and outputs.
#include "Files.h"

#include "Errors.h"

namespace quorin {

UsageError Output::TerminalRefusal(ToTerminal toTerminal) {
  return UsageError(std::string("refusing to write binary output to the terminal: redirect it, "
                                "pass -o FILE, ") +
                    (toTerminal == ToTerminal::RefusedButArmour ? "use -a for text, " : "") +
                    "or force it with -o -");
}

CommandError Output::SameAsInput(const std::string& which) {
  return CommandError("INPUT and OUT are the same file (" + which +
                      "): write the output to another file");
}

void Output::Write(const std::string& data) {
  Write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

void Output::Commit() {
  switch (kind_) {
    case Kind::StandardOutput:
      return;
    case Kind::InPlace:
      CloseInPlace();
      return;
    case Kind::Atomic:
      try {
        atomic_->Commit(force_ ? platform::Replace::Allowed : platform::Replace::Never);
      } catch (const platform::OutputExists&) {
        throw CommandError(name_ + " appeared meanwhile: pass -f to overwrite it");
      } catch (const platform::SystemError& e) {
        throw CommandError(e.what());
      }
      return;
  }
}

}  // namespace quorin
