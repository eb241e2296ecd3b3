// Helpers shared by the tests: hex conversion, data files, random bytes,
// temporary folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "SystemFacts.h"
#include "quorin/Rc6.h"
#include "quorin/framework/MemoryStream.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex);
std::string ToHex(const std::uint8_t* data, std::size_t size);
inline std::string ToHex(const Bytes& b) {
  return ToHex(b.data(), b.size());
}
inline std::string ToHex(const std::string& s) {
  return ToHex(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}
inline std::string AsString(const Bytes& b) {
  return std::string(b.begin(), b.end());
}
inline Bytes AsBytes(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// The lines of a whitespace-separated data file under tests/data, split into
// fields; blank lines and lines starting with '#' are skipped.
std::vector<std::vector<std::string>> ReadDataFile(const std::string& name);

Bytes RandomBytes(std::mt19937_64& rng, std::size_t size);

Rc6::TKeySize KeySizeFor(std::size_t keyBytes);
const char* ModeName(Rc6::TCipherMode mode);
Rc6::TCipherMode ModeFromName(const std::string& name);
inline constexpr Rc6::TCipherMode kAllModes[] = {Rc6::TCipherMode::ECB, Rc6::TCipherMode::CBC,
                                                 Rc6::TCipherMode::CFB, Rc6::TCipherMode::OFB};
inline constexpr Rc6::TKeySize kAllKeySizes[] = {Rc6::TKeySize::Small128, Rc6::TKeySize::Med192,
                                                 Rc6::TKeySize::Large256};

// The chaining register, read through the CBC-MAC with the mode switched to
// CBC and back; changes nothing.
Bytes ChainRegister(Rc6::TQuorin& q);

// A file operation done by hand through the work buffer, chunk by chunk:
// 4096 bytes each, the last chunk (the one reaching the end) padded when
// encrypting and its padding dropped when decrypting. Files must give the
// same bytes and leave the chain and the work buffer the same.
Bytes ChunkByChunk(Rc6::TQuorin& q, const Bytes& in, bool encrypt);

// A stream over memory that can be told to deliver or take fewer bytes than asked.
class ShortStream : public framework::TMemoryStream {
 public:
  int shortReadAt = -1, shortWriteAt = -1, reads = 0, writes = 0;
  std::int32_t Read(void* b, std::int32_t n) override {
    const std::int32_t got = TMemoryStream::Read(b, n);
    return reads++ == shortReadAt && got > 0 ? got - 1 : got;
  }
  std::int32_t Write(const void* b, std::int32_t n) override {
    const std::int32_t put = TMemoryStream::Write(b, n);
    return writes++ == shortWriteAt && put > 0 ? put - 1 : put;
  }
};

// A fresh folder under the system's temporary folder, removed with its contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& data);
// AddressSanitizer turns mlock into a no-op, so a lock cannot be seen there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kLockVisible = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kLockVisible = false;
#else
inline constexpr bool kLockVisible = true;
#endif
#else
inline constexpr bool kLockVisible = true;
#endif

}  // namespace testsupport
