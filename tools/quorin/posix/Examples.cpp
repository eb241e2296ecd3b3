#include "../Examples.h"

namespace quorin {

const char* ShellExamples() {
  return R"(  export QUORIN_KEY='a key of 16 to 32 bytes'   # or --key-file FILE
  IV=000102030405060708090a0b0c0d0e0f           # a fresh IV for every message
  quorin encrypt --iv-hex $IV -o report.pdf.rc6 report.pdf
  quorin decrypt --iv-hex $IV -o report.pdf report.pdf.rc6
  echo 'meet at noon' | quorin encrypt -a --iv-hex $IV > note.txt
  quorin decrypt -a --iv-hex $IV note.txt
)";
}

}  // namespace quorin
