// The input and output of a command: files or standard input and output.
//
// The output goes to a temporary file beside OUT, which replaces OUT only when
// the command succeeds, so a failed run never leaves a half-written or
// truncated output behind.
#pragma once

#include <memory>
#include <string>

#include "framework/Classes.h"
#include "framework/SysUtils.h"

namespace quorin {

// A readable, sizeable stream for INPUT ("-": standard input, spooled to a
// temporary file when it is a pipe or terminal).
class Input {
 public:
  explicit Input(const std::string& path);
  ~Input();
  framework::TStream& Stream() { return *stream_; }
  const std::string& Name() const { return name_; }
  std::string ReadAll();

 private:
  std::string name_;
  int spoolFd_ = -1;
  std::unique_ptr<framework::TStream> stream_;
};

class Output {
 public:
  // Throws CommandError when OUT exists and force is false, or when INPUT and
  // OUT are the same file; UsageError when binary output would go to a
  // terminal and binaryToTerminalAllowed is false.
  Output(const std::string& path, bool outputGiven, bool force, const std::string& inputPath,
         bool binaryToTerminalAllowed);
  ~Output();  // removes the temporary file unless committed
  framework::TStream& Stream() { return *stream_; }
  const std::string& Name() const { return name_; }
  void Write(const std::string& data);
  // Moves the finished output into place.
  void Commit();

 private:
  std::string path_, tempPath_, name_;
  bool force_ = false;
  std::unique_ptr<framework::TStream> stream_;
};

}  // namespace quorin
