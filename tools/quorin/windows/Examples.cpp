#include "../Examples.h"

namespace quorin {

const char* ShellExamples() {
  return R"(  $env:QUORIN_KEY = 'a key of 16 to 32 bytes'  # cmd: set QUORIN_KEY=...; or --key-file FILE
  $IV = '000102030405060708090a0b0c0d0e0f'     # cmd: set IV=... and %IV%; a fresh IV each time
  quorin encrypt --iv-hex $IV -o report.pdf.rc6 report.pdf
  quorin decrypt --iv-hex $IV -o report.pdf report.pdf.rc6
  quorin encrypt -a --iv-hex $IV -o note.txt message.txt
  quorin decrypt -a --iv-hex $IV note.txt
)";
}

}  // namespace quorin
