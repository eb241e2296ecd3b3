// The lines of --help that a user types into a shell to set a key and an
// IV, in the shell of each platform (POSIX sh; PowerShell and cmd on
// Windows). One implementation per platform.
#pragma once

namespace quorin {

const char* ShellExamples();

}  // namespace quorin
