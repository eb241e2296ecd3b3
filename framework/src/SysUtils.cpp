#include "quorin/framework/SysUtils.h"

#include <cerrno>

#include "quorin/platform/SystemIo.h"

namespace framework {

namespace sysio = quorin::platform::sysio;

std::string IntToHex(std::uint64_t Value, int Digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  int needed = 1;
  for (std::uint64_t v = Value >> 4; v != 0; v >>= 4) ++needed;
  const int width = Digits > needed ? Digits : needed;
  std::string out(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0 && Value != 0; --i, Value >>= 4)
    out[static_cast<std::size_t>(i)] = kDigits[Value & 0xF];
  return out;
}

int FileCreate(const std::string& FileName, unsigned Rights) {
  if (FileName.empty() || FileName.find('\0') != std::string::npos) {
    errno = EINVAL;
    return -1;
  }
  return sysio::Open(FileName, sysio::kWriteOnly | sysio::kCreate | sysio::kTruncate, Rights);
}

std::string IOErrorMessage(int Code, const std::string& Step, const std::string& FileName) {
  return "I/O error " + std::to_string(Code) + " (" + sysio::ErrorText(Code) + ") " + Step + " '" +
         FileName + "'";
}

void FileClose(int Handle) {
  if (Handle >= 0) sysio::Close(Handle);
}

}  // namespace framework
