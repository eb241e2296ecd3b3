// Sealed files through the standard library's types: bytes in memory,
// byte sources and sinks (std::istream and std::ostream among them), and
// std::filesystem paths; secrets passed as objects.
//
//   using namespace quorin::seal;
//   const Secret key = Secret::KeyFileBytes(keyBytes);
//   std::vector<std::uint8_t> sealed = Seal(plain, key);
//   std::vector<std::uint8_t> back = Open(sealed, key);
//
//   const Secret me = Secret::NewIdentity(), pass = Secret::Passphrase("...");
//   sealed = Seal(plain, {me, pass});                 // opens with either
//
//   std::ifstream in("notes.txt", std::ios::binary);
//   std::ofstream out("notes.txt.qsl", std::ios::binary);
//   IstreamSource source(in);
//   OstreamSink sink(out);
//   SealStream(source, sink, key);
//
// The output is byte for byte what the framework::TStream forms of Seal.h
// write, and they read it.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <istream>
#include <ostream>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "quorin/seal/Seal.h"

namespace quorin::seal {

// Several secrets at once: Seal(data, {me, pass}). A file is sealed to each;
// an opener takes the first that opens it.
using SecretList = std::initializer_list<std::reference_wrapper<const Secret>>;

// ------------------------------------------------------------ bytes in memory

// The sealed bytes of plain (armour's text as bytes with options.armour).
// Throws what SealStream throws.
QUORIN_SEAL_API std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain,
                                               const Secret& secret,
                                               const SealOptions& options = {});
QUORIN_SEAL_API std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain,
                                               SecretList secrets, const SealOptions& options = {});
QUORIN_SEAL_API std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain,
                                               std::span<const Secret> secrets,
                                               const SealOptions& options = {});
// To options.recipients alone.
QUORIN_SEAL_API std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain,
                                               const SealOptions& options);

// The plaintext of sealed bytes or armour, once every tag matched. Throws
// what OpenStream throws; no plaintext is kept from a failed call.
QUORIN_SEAL_API std::vector<std::uint8_t> Open(std::span<const std::uint8_t> sealed,
                                               const Secret& secret,
                                               const OpenOptions& options = {});
QUORIN_SEAL_API std::vector<std::uint8_t> Open(std::span<const std::uint8_t> sealed,
                                               SecretList secrets, const OpenOptions& options = {});
QUORIN_SEAL_API std::vector<std::uint8_t> Open(std::span<const std::uint8_t> sealed,
                                               std::span<const Secret> secrets,
                                               const OpenOptions& options = {});

// ------------------------------------------------------------ streaming

// Where bytes come from: Read fills some of buffer and returns how many
// bytes it gave, 0 only at the end. Throwing fails the call it is read by.
class QUORIN_SEAL_API ByteSource {
 public:
  virtual ~ByteSource();
  virtual std::size_t Read(std::span<std::uint8_t> buffer) = 0;
};

// Where bytes go: Write takes all of data, or throws.
class QUORIN_SEAL_API ByteSink {
 public:
  virtual ~ByteSink();
  virtual void Write(std::span<const std::uint8_t> data) = 0;
};

// A std::istream read from its position (opened with std::ios::binary);
// a read that fails other than at the end throws std::ios_base::failure.
class QUORIN_SEAL_API IstreamSource : public ByteSource {
 public:
  explicit IstreamSource(std::istream& in) : in_(in) {}
  std::size_t Read(std::span<std::uint8_t> buffer) override;

 private:
  std::istream& in_;
};

// A std::ostream written at its position; a failed write throws
// std::ios_base::failure. Flushing and closing stay the caller's.
class QUORIN_SEAL_API OstreamSink : public ByteSink {
 public:
  explicit OstreamSink(std::ostream& out) : out_(out) {}
  void Write(std::span<const std::uint8_t> data) override;

 private:
  std::ostream& out_;
};

// Seals all of source into sink; opens it, writing only plaintext whose tag
// matched (what was written before a failure came from such chunks).
QUORIN_SEAL_API void SealStream(ByteSource& source, ByteSink& sink, SecretList secrets,
                                const SealOptions& options = {});
QUORIN_SEAL_API void SealStream(ByteSource& source, ByteSink& sink, std::span<const Secret> secrets,
                                const SealOptions& options = {});
QUORIN_SEAL_API void OpenStream(ByteSource& source, ByteSink& sink, SecretList secrets,
                                const OpenOptions& options = {});
QUORIN_SEAL_API void OpenStream(ByteSource& source, ByteSink& sink, std::span<const Secret> secrets,
                                const OpenOptions& options = {});

// ------------------------------------------------------------ paths

namespace detail {
// A path as the file functions take it: UTF-8.
inline std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}
QUORIN_SEAL_API std::vector<const Secret*> Pointers(SecretList secrets);
}  // namespace detail

// SealFile and OpenFile of Seal.h for std::filesystem paths. The source must
// be a path (so that two strings still mean the std::string forms); the
// output may be anything a path is made from, such as a string literal.
template <std::same_as<std::filesystem::path> Path>
void SealFile(const Path& source, const std::type_identity_t<Path>& dest, const Secret& secret,
              const SealOptions& options = {}) {
  SealFile(detail::Utf8(source), detail::Utf8(dest), secret, options);
}
template <std::same_as<std::filesystem::path> Path>
void SealFile(const Path& source, const std::type_identity_t<Path>& dest, SecretList secrets,
              const SealOptions& options = {}) {
  SealFile(detail::Utf8(source), detail::Utf8(dest), detail::Pointers(secrets), options);
}
template <std::same_as<std::filesystem::path> Path>
void OpenFile(const Path& source, const std::type_identity_t<Path>& dest, const Secret& secret,
              const OpenOptions& options = {}) {
  OpenFile(detail::Utf8(source), detail::Utf8(dest), secret, options);
}
template <std::same_as<std::filesystem::path> Path>
void OpenFile(const Path& source, const std::type_identity_t<Path>& dest, SecretList secrets,
              const OpenOptions& options = {}) {
  OpenFile(detail::Utf8(source), detail::Utf8(dest), detail::Pointers(secrets), options);
}

}  // namespace quorin::seal
