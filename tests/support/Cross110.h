// The 1.10 component seen through plain functions, so that a test built
// against 1.11 can use both feature sets in one process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace cross110 {

struct Settings {
  int mode;        // TCipherMode ordinal
  int keySize;     // TKeySize ordinal
  int stringMode;  // TStringMode ordinal
  std::string key, iv;
};

// A component of either feature set, with the settings' mode, sizes, key and IV.
template <typename Quorin>
std::unique_ptr<Quorin> Configured(const Settings& s) {
  auto q = std::make_unique<Quorin>(nullptr);
  q->SetCipherMode(static_cast<decltype(q->CipherMode())>(s.mode));
  q->SetKeySize(static_cast<decltype(q->KeySize())>(s.keySize));
  q->SetStringMode(static_cast<decltype(q->StringMode())>(s.stringMode));
  q->InitialiseString(s.key);
  q->LoadIVString(s.iv);
  return q;
}

std::string Version();
std::int32_t EncryptString(const Settings& s, const std::string& in, std::string& out);
std::int32_t DecryptString(const Settings& s, const std::string& in, std::string& out);
std::int32_t EncryptFile(const Settings& s, const std::string& in, const std::string& out);
std::int32_t DecryptFile(const Settings& s, const std::string& in, const std::string& out);
std::int32_t EncryptBlock(const Settings& s, const std::string& in16, std::string& out16);
std::int32_t DecryptBlock(const Settings& s, const std::string& in16, std::string& out16);
// EncryptBuffer(count) on a keyed ECB component; returns the caller's variable afterwards.
std::int32_t CountAfterEncryptBuffer(std::int32_t count, std::int32_t& status);
// rotl and rotr of the 1.10 core on a signed variable.
std::int32_t Rotl(std::int32_t x, std::int32_t amount);
std::int32_t Rotr(std::int32_t x, std::int32_t amount);

}  // namespace cross110
