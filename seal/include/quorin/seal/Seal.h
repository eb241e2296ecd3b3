// Sealed files: RC6 encryption with the TQuorin component under a
// passphrase or a key file, a self-describing header and a tag on every
// chunk, so that a wrong secret or an altered file is refused before any of
// its plaintext is released. The format is described in
// docs/sealed-format.md.
//
//   quorin::seal::Secret secret = quorin::seal::Secret::Passphrase("correct horse");
//   quorin::seal::SealFile("notes.txt", "notes.txt.qsl", secret);
//   quorin::seal::OpenFile("notes.txt.qsl", "notes-copy.txt", secret);
//
// The functions may be called from several threads at once on different
// streams and files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "quorin/framework/Stream.h"
#include "quorin/seal/Errors.h"

namespace quorin::seal {

// The chaining modes a sealed file may use. ECB is not one: it has no IV and
// shows repeated plaintext blocks.
enum class Mode : std::uint8_t { CBC = 1, CFB = 2, OFB = 3 };

// How the master secret was made: what opening needs.
enum class SecretKind : std::uint8_t { Passphrase = 1, KeyFile = 2 };

// Argon2id's work for a passphrase: passes over memoryBytes of memory.
struct QUORIN_SEAL_API Costs {
  std::uint32_t passes = 3;
  std::uint64_t memoryBytes = std::uint64_t{256} << 20;

  static Costs Interactive();  // 2 passes, 64 MiB: a fraction of a second
  static Costs Moderate();     // 3 passes, 256 MiB: the default
  static Costs Sensitive();    // 4 passes, 1 GiB: seconds
};

// A passphrase or the bytes of a key file, held in locked memory that is
// wiped when the Secret goes. Move-only.
class QUORIN_SEAL_API Secret {
 public:
  // Throws std::invalid_argument for an empty passphrase.
  static Secret Passphrase(std::string_view passphrase);
  // Throws std::invalid_argument for fewer than 16 bytes (quorin keygen makes 32).
  static Secret KeyFileBytes(std::span<const std::uint8_t> bytes);

  Secret(Secret&& other) noexcept;
  Secret& operator=(Secret&& other) noexcept;
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  ~Secret();

  SecretKind Kind() const { return kind_; }
  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }

 private:
  Secret(SecretKind kind, const void* data, std::size_t size);
  SecretKind kind_;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

struct SealOptions {
  Mode mode = Mode::CBC;
  int keyBits = 256;                // 128, 192 or 256
  Costs costs = Costs::Moderate();  // used with a passphrase only
  bool replaceOutput = false;       // SealFile: replace an existing output file
};

struct OpenOptions {
  // A header asking for more is refused (CostLimitError) before any memory
  // is allocated for it: a crafted file must not exhaust the machine.
  std::uint32_t maxPasses = 32;
  std::uint64_t maxMemoryBytes = std::uint64_t{4} << 30;
  bool replaceOutput = false;  // OpenFile: replace an existing output file
};

// What a sealed file's header says.
struct HeaderInfo {
  Mode mode;
  int keyBits;
  SecretKind kind;
  Costs costs;  // zero for a key file
  std::uint32_t chunkBytes;
};

// Seals all of source, read once front to back from its position, into
// dest. Throws std::invalid_argument for bad options and SealError for
// failures; a stream error from either stream passes through as it is.
QUORIN_SEAL_API void SealStream(framework::TStream& source, framework::TStream& dest,
                                const Secret& secret, const SealOptions& options = {});

// Opens a sealed file in two steps, so that a program can see what the
// header asks for (a passphrase or a key file) before it gets the secret.
class QUORIN_SEAL_API Opener {
 public:
  // Reads and checks the header; throws NotSealedError,
  // UnsupportedVersionError, BadHeaderError, CostLimitError or TruncatedError.
  explicit Opener(framework::TStream& source, const OpenOptions& options = {},
                  std::string name = "the input");
  const HeaderInfo& Header() const { return info_; }

  // Writes the plaintext to dest, each chunk only after its tag matched.
  // Throws SecretKindError, AuthenticationError or TruncatedError; what was
  // written before the failure came from chunks whose tags matched.
  void OpenTo(framework::TStream& dest, const Secret& secret);

 private:
  framework::TStream& source_;
  std::string name_;
  std::array<std::uint8_t, 64> header_{};  // as read: every tag covers it
  HeaderInfo info_{};
  std::array<std::uint8_t, 16> salt_{}, iv_{};
  bool used_ = false;
};

QUORIN_SEAL_API void OpenStream(framework::TStream& source, framework::TStream& dest,
                                const Secret& secret, const OpenOptions& options = {},
                                const std::string& name = "the input");

// Between files. The output is written to a temporary file in its folder and
// moved into place only when the whole input has been sealed, or opened and
// every tag matched: a failure leaves no output file at all. An existing
// output is refused (FileError) unless replaceOutput is set. New outputs get
// mode 0600.
QUORIN_SEAL_API void SealFile(const std::string& source, const std::string& dest,
                              const Secret& secret, const SealOptions& options = {});
QUORIN_SEAL_API void OpenFile(const std::string& source, const std::string& dest,
                              const Secret& secret, const OpenOptions& options = {});

}  // namespace quorin::seal

namespace quorin::seal {

// How many random bytes a new key file holds.
inline constexpr std::size_t kNewKeyFileBytes = 32;

// Writes a new key file of kNewKeyFileBytes random bytes, mode 0600, which
// appears only once it is complete. Refuses (FileError) to replace anything
// already at path.
QUORIN_SEAL_API void WriteNewKeyFile(const std::string& path);

}  // namespace quorin::seal
