// quorin-palette's command line, as a function: parses argv, runs the
// command and returns the exit code (0, 1 failure, 2 usage). Throws only
// what the command-line parser itself may throw.
#pragma once

int RunPalette(int argc, char** argv);
