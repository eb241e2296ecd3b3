// Typed-file I/O: file records opened by name and read or written in blocks.
//
// The calls do not throw. A failing call records its error for the calling
// thread, and the next IOTest raises it as EInOutError, naming the file and the
// step that failed. Callers check with IOTest after each call, as the
// framework's own code does.
#pragma once

#include <cstdint>
#include <string>

#include "quorin/framework/Export.h"
#include "quorin/framework/FileStream.h"

namespace framework {

// A file record. The descriptor it holds is closed by Close or, failing that,
// when the record goes out of scope, so no path leaks an open file.
struct FRAMEWORK_API TFileRec {
  TFileRec() = default;
  ~TFileRec();
  TFileRec(const TFileRec&) = delete;
  TFileRec& operator=(const TFileRec&) = delete;

  std::string Name;
  std::uint16_t Mode =
      fmOpenReadWrite;  // how ResetFile opens it: fmOpenRead, fmOpenWrite or fmOpenReadWrite
  int Handle = -1;
  std::int32_t RecSize = 0;
};

// Binds a name to the record; touches no file. Throws EInOutError for a name
// the system cannot take (empty, or holding a zero byte) or a record still open.
FRAMEWORK_API void Assign(TFileRec& F, const std::string& Name);
// Opens the existing file at its start with the record's Mode. Only record size 1 is supported.
FRAMEWORK_API void ResetFile(TFileRec& F, std::int32_t RecSize);
// Transfer up to Count records; Result gets the number transferred. A read
// transfers fewer only at the end of the file.
FRAMEWORK_API void BlockRead(TFileRec& F, void* Buffer, std::int32_t Count, std::int32_t& Result);
FRAMEWORK_API void BlockWrite(TFileRec& F, const void* Buffer, std::int32_t Count,
                              std::int32_t& Result);
// True when the position is at or past the end of the file.
FRAMEWORK_API bool EofFile(TFileRec& F);
// The file's size in records.
FRAMEWORK_API std::int64_t FileSizeOf(TFileRec& F);
FRAMEWORK_API void Close(TFileRec& F);

// Raises EInOutError if the last typed-file call of this thread failed, and clears the error.
FRAMEWORK_API void IOTest();

}  // namespace framework
