// Sealed files: RC6 encryption under a random file key, opened by any of
// the file's recipients (a passphrase, a key file or an X25519 public key),
// with an authenticated header and a tag on every chunk, so that a wrong
// secret or an altered file is refused before any of its plaintext is
// released. The format is described in docs/sealed-format.md.
//
//   quorin::seal::Secret secret = quorin::seal::Secret::Passphrase("correct horse");
//   quorin::seal::SealFile("notes.txt", "notes.txt.qsl", secret);
//   quorin::seal::OpenFile("notes.txt.qsl", "notes-copy.txt", secret);
//
//   quorin::seal::Secret me = quorin::seal::Secret::NewIdentity();
//   quorin::seal::SealOptions options;
//   options.recipients.push_back(quorin::seal::Recipient::Of(me));
//   quorin::seal::SealFile("notes.txt", "notes.txt.qsl", options);
//   quorin::seal::OpenFile("notes.txt.qsl", "notes-copy.txt", me);
//
// The functions may be called from several threads at once on different
// streams and files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorin/framework/Stream.h"
#include "quorin/seal/Errors.h"

namespace quorin::seal {

// The chaining modes a sealed file may use. ECB is not one: it has no IV and
// shows repeated plaintext blocks.
enum class Mode : std::uint8_t { CBC = 1, CFB = 2, OFB = 3 };

// What a file is opened with: a passphrase, the bytes of a key file, or an
// X25519 identity (the secret half of a recipient's key pair).
enum class SecretKind : std::uint8_t { Passphrase = 1, KeyFile = 2, Identity = 3 };

// Argon2id's work for a passphrase: passes over memoryBytes of memory.
struct QUORIN_SEAL_API Costs {
  std::uint32_t passes = 3;
  std::uint64_t memoryBytes = std::uint64_t{256} << 20;

  static Costs Interactive();  // 2 passes, 64 MiB: a fraction of a second
  static Costs Moderate();     // 3 passes, 256 MiB: the default
  static Costs Sensitive();    // 4 passes, 1 GiB: seconds
};

// The limits every surface keeps (the tool, C, Python and JavaScript read
// them from here).
inline constexpr std::size_t kSmallestKeyFile = 16;
inline constexpr std::size_t kLargestKeyFile = 1024;
// Sealing refuses a longer passphrase; opening takes any length, for files
// sealed before the limit was kept everywhere.
inline constexpr std::size_t kLargestPassphrase = 1024;
// Identity and recipient files, and armoured text held whole.
inline constexpr std::size_t kLargestListFile = std::size_t{1} << 20;

// A passphrase, the bytes of a key file or an identity, held in locked
// memory that is wiped when the Secret goes. Move-only.
class QUORIN_SEAL_API Secret {
 public:
  // Throws std::invalid_argument for an empty passphrase. The bytes are
  // taken as they are (UTF-8 is expected; nothing is normalised).
  static Secret Passphrase(std::string_view passphrase);
  // Throws std::invalid_argument for fewer than 16 or more than
  // kLargestKeyFile bytes (quorin keygen makes 32), and for text that
  // holds recipients or identities (a public key is no secret).
  static Secret KeyFileBytes(std::span<const std::uint8_t> bytes);
  // A new X25519 identity from the system's random source.
  static Secret NewIdentity();
  // An identity from its printed form, "QUORIN-IDENTITY-1..." (Bech32, so a
  // mistyped character is caught). Throws std::invalid_argument saying what
  // is wrong.
  static Secret ParseIdentity(std::string_view text);
  // The printed form of an identity; throws std::invalid_argument for
  // another kind of secret. The string is secret too.
  std::string IdentityString() const;

  // A copy in locked memory of its own.
  Secret Copy() const;

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

// The public half of an identity: whom a file can be sealed to without
// holding the secret that opens it. Printed as "quorin1..." (Bech32).
// Whether text begins as a printed identity does ("QUORIN-IDENTITY-1", in
// either case), mistyped or not: such text is secret and never repeated in
// a message.
QUORIN_SEAL_API bool LooksLikeIdentity(std::string_view text);
// Whether text begins as a printed recipient does ("quorin1", either case).
QUORIN_SEAL_API bool LooksLikeRecipient(std::string_view text);

class QUORIN_SEAL_API Recipient {
 public:
  static constexpr std::size_t kKeyBytes = 32;
  // Throws std::invalid_argument saying what is wrong (a mistyped character
  // fails the checksum).
  static Recipient Parse(std::string_view text);
  // Throws std::invalid_argument for a secret that is not an identity.
  static Recipient Of(const Secret& identity);
  std::string ToString() const;
  const std::array<std::uint8_t, kKeyBytes>& Key() const { return key_; }
  bool operator==(const Recipient&) const = default;

 private:
  std::array<std::uint8_t, kKeyBytes> key_{};
};

// The entries of an identity file and of a recipients file: one a line;
// blank lines, lines starting with '#', spaces and tabs around an entry, a
// line's "\r" and a UTF-8 byte-order mark are skipped. Throws
// std::invalid_argument, beginning with `name` and naming the line ("'ids'
// line 3: ..."), for an entry that does not parse, UTF-16 text, more than
// kLargestListFile bytes, or none at all. An identity in a recipients file
// is refused without being repeated.
QUORIN_SEAL_API std::vector<Secret> ParseIdentities(std::string_view text,
                                                    std::string_view name = "the identity file");
QUORIN_SEAL_API std::vector<Recipient> ParseRecipients(
    std::string_view text, std::string_view name = "the recipients file");

// The format versions this library writes and reads.
inline constexpr int kLatestFormat = 2;

struct SealOptions {
  Mode mode = Mode::CBC;
  int keyBits = 256;                // 128, 192 or 256
  Costs costs = Costs::Moderate();  // used with a passphrase only
  bool replaceOutput = false;       // SealFile: replace an existing output file
  // Public keys the file is sealed to, besides any secrets given.
  std::vector<Recipient> recipients;
  // 1 writes the older format for older readers: exactly one passphrase or
  // key file, no recipients.
  int formatVersion = kLatestFormat;
  // Writes the text form (quorin/seal/Armour.h) instead of binary; openers
  // tell the two apart themselves.
  bool armour = false;
};

struct OpenOptions {
  // A header asking for more is refused (CostLimitError) before any memory
  // is allocated for it: a crafted file must not exhaust the machine. The
  // defaults are the strongest costs a sealer offers (Costs::Sensitive).
  std::uint32_t maxPasses = 4;
  std::uint64_t maxMemoryBytes = std::uint64_t{1} << 30;
  bool replaceOutput = false;  // OpenFile: replace an existing output file
};

// What a sealed file's header says.
struct QUORIN_SEAL_API HeaderInfo {
  int version;
  Mode mode;
  int keyBits;
  // The kinds of secret that open the file, one per recipient stanza the
  // library knows, in the header's order (version 1: exactly one).
  std::vector<SecretKind> kinds;
  SecretKind kind;  // kinds.front(), kept for version 1's callers
  Costs costs;      // the passphrase's, if any; else zero
  std::uint32_t chunkBytes;
  bool Accepts(SecretKind k) const;
};

// The secrets a file is sealed to or opened with (an identity seals to its
// own recipient). None may be null.
using Secrets = std::span<const Secret* const>;

// Seals all of source, read once front to back from its position, into
// dest, for every secret given and every recipient in options. Throws
// std::invalid_argument for bad options (no secret and no recipient,
// several in version 1) and SealError for failures; a stream error from
// either stream passes through as it is.
QUORIN_SEAL_API void SealStream(framework::TStream& source, framework::TStream& dest,
                                const Secret& secret, const SealOptions& options = {});
QUORIN_SEAL_API void SealStream(framework::TStream& source, framework::TStream& dest,
                                Secrets secrets, const SealOptions& options);
QUORIN_SEAL_API void SealStream(framework::TStream& source, framework::TStream& dest,
                                const SealOptions& options);

// Throws std::invalid_argument, saying what is wrong, when SealStream would
// refuse these secrets and options; the sealing functions check the same.
QUORIN_SEAL_API void CheckSealing(Secrets secrets, const SealOptions& options);

// The exact length of what SealStream writes for plainBytes of input with
// these secrets and options (the options are not checked here).
QUORIN_SEAL_API std::uint64_t SealedBytes(std::uint64_t plainBytes, Secrets secrets,
                                          const SealOptions& options);

// Opens a sealed file in two steps, so that a program can see what the
// header asks for (a passphrase or a key file) before it gets the secret.
class QUORIN_SEAL_API Opener {
 public:
  // Reads and checks the header, from a binary or an armoured input; throws
  // NotSealedError, BadArmourError, UnsupportedVersionError, BadHeaderError,
  // CostLimitError or TruncatedError.
  explicit Opener(framework::TStream& source, const OpenOptions& options = {},
                  std::string name = "the input");
  const HeaderInfo& Header() const { return info_; }

  // Writes the plaintext to dest, each chunk only after its tag matched,
  // with the first of the secrets that opens the file. Throws
  // SecretKindError (no secret of a kind the file was sealed for),
  // AuthenticationError or TruncatedError; what was written before the
  // failure came from chunks whose tags matched.
  void OpenTo(framework::TStream& dest, const Secret& secret);
  void OpenTo(framework::TStream& dest, Secrets secrets);

  Opener(const Opener&) = delete;
  Opener& operator=(const Opener&) = delete;
  ~Opener();

 private:
  std::unique_ptr<framework::TStream> input_;  // binary or armoured, as bytes
  framework::TStream& source_;
  std::string name_;
  std::vector<std::uint8_t> header_;  // as read: every tag covers it
  HeaderInfo info_{};
  bool used_ = false;
};

QUORIN_SEAL_API void OpenStream(framework::TStream& source, framework::TStream& dest,
                                const Secret& secret, const OpenOptions& options = {},
                                const std::string& name = "the input");
QUORIN_SEAL_API void OpenStream(framework::TStream& source, framework::TStream& dest,
                                Secrets secrets, const OpenOptions& options = {},
                                const std::string& name = "the input");

// Between files. The output is written to a temporary file in its folder and
// moved into place only when the whole input has been sealed, or opened and
// every tag matched: a failure leaves no output file at all. An existing
// output is refused (FileError) unless replaceOutput is set. New outputs get
// mode 0600.
QUORIN_SEAL_API void SealFile(const std::string& source, const std::string& dest,
                              const Secret& secret, const SealOptions& options = {});
QUORIN_SEAL_API void SealFile(const std::string& source, const std::string& dest, Secrets secrets,
                              const SealOptions& options);
QUORIN_SEAL_API void SealFile(const std::string& source, const std::string& dest,
                              const SealOptions& options);
QUORIN_SEAL_API void OpenFile(const std::string& source, const std::string& dest,
                              const Secret& secret, const OpenOptions& options = {});
QUORIN_SEAL_API void OpenFile(const std::string& source, const std::string& dest, Secrets secrets,
                              const OpenOptions& options = {});

}  // namespace quorin::seal

namespace quorin::seal {

// How many random bytes a new key file holds.
inline constexpr std::size_t kNewKeyFileBytes = 32;

// Writes a new key file of kNewKeyFileBytes random bytes, mode 0600, which
// appears only once it is complete. Refuses (FileError) to replace anything
// already at path.
QUORIN_SEAL_API void WriteNewKeyFile(const std::string& path);

}  // namespace quorin::seal
