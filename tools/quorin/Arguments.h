// The command line as UTF-8 strings, whatever the platform: argv itself on
// POSIX; on Windows the wide command line converted, since main's argv is in
// the ANSI code page, which cannot hold every file name.
#pragma once

#include <string>
#include <vector>

namespace quorin {

class Arguments {
 public:
  Arguments(int argc, char** argv);
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;

  int Count() const { return static_cast<int>(pointers_.size()); }
  // Writable, so that secrets can be wiped where they stand.
  char** Values() { return pointers_.data(); }

 private:
  std::vector<std::string> converted_;
  std::vector<char*> pointers_;
};

}  // namespace quorin
