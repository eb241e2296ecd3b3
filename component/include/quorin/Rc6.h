// TQuorin: the RC6 cipher component.
//
// RC6-32/20 (16-byte blocks, 16/24/32-byte keys) in ECB, CBC, CFB or OFB
// chaining, on single blocks, the component's own work buffer, streams, files
// and strings (raw or in a radix-64 text armour), with count-byte padding and a
// CBC-MAC read-out.
//
// Typical use:
//   Rc6::TQuorin q(nullptr);
//   q.SetCipherMode(Rc6::TCipherMode::CBC);
//   q.InitialiseString(key);            // 0, or -2 for an empty key
//   q.LoadIVString(iv);                 // needed for every mode but ECB
//   q.EncryptString(plain, cipher);     // 0, -1 (no key) or -4 (no IV)
//
// Operations that can fail return a status code (see TStatus); only the file
// and stream operations let I/O exceptions through. The chaining register runs
// on from block to block and from call to call, whatever the operation: load
// the IV again to start a new chain. An instance serves one caller at a time;
// separate instances share nothing.
//
// Two feature sets are built from this header. Defining QUORIN_FEATURES_1_10
// selects version 1.10: no stream operations, no CBC-MAC, and the buffer
// operations take Count by reference. Each set lives in its own inline
// namespace, so both packages can be loaded into one process.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "quorin/framework/Classes.h"
#include "quorin/framework/SysUtils.h"  // EInOutError, raised by the file operations

#include "quorin/Export.h"

#if defined(tamberlo_EXPORTS) || defined(tambercin_EXPORTS)
#define RC6_API QUORIN_EXPORT
#else
#define RC6_API QUORIN_IMPORT
#endif

#if defined(QUORIN_FEATURES_1_10)
#define QUORIN_PACKAGE_NAMESPACE v1_10
#define QUORIN_HAS_STREAMS 0
#define QUORIN_HAS_CBCMAC 0
#else
#define QUORIN_PACKAGE_NAMESPACE v1_11
#define QUORIN_HAS_STREAMS 1
#define QUORIN_HAS_CBCMAC 1
#endif

namespace Rc6 {
namespace detail {
class TSecondCore;
}
inline namespace QUORIN_PACKAGE_NAMESPACE {

enum class TCipherMode : std::uint8_t { ECB, CBC, CFB, OFB };
enum class TKeySize : std::uint8_t { Small128, Med192, Large256 };
enum class TStringMode : std::uint8_t { smEncode, smNormal };

// The buffer operations take Count by value; the 1.10 feature set takes the
// caller's variable by reference, reads it at each step and never writes it.
#if defined(QUORIN_FEATURES_1_10)
using TBufferCount = std::int32_t&;
#else
using TBufferCount = std::int32_t;
#endif

struct TQuadWord {
  std::uint32_t A, B, C, D;
};
using TBlock = std::array<std::uint8_t, 16>;

// The status codes the operations return.
namespace TStatus {
inline constexpr std::int32_t Ok = 0;
// No key set since creation or Burn.
inline constexpr std::int32_t NoKey = -1;
// A key of length 0, or a Count of 0 or less.
inline constexpr std::int32_t EmptyKey = -2;
// A mode other than ECB and no IV loaded.
inline constexpr std::int32_t NoIV = -4;
// Binding a file name or creating the output failed, or a write stored fewer bytes than asked.
inline constexpr std::int32_t FileError = -5;
// CBC-MAC read-out while the mode is not CBC.
inline constexpr std::int32_t NotCBC = -6;
// A buffer Count that is not a multiple of 16 in 16..4112.
inline constexpr std::int32_t BadCount = -7;
// Ciphertext that is not a whole, non-zero number of 16-byte blocks.
inline constexpr std::int32_t BadCiphertext = -8;
// The final decrypted byte exceeds the length of the final chunk.
inline constexpr std::int32_t BadPadding = -9;
// Input and output are the same file.
inline constexpr std::int32_t SameFile = -10;
// A source stream delivered fewer bytes than its size promised.
inline constexpr std::int32_t ShortRead = -11;
}  // namespace TStatus

class RC6_API TQuorin : public framework::TComponent {
 public:
  static constexpr std::size_t BlockSize = 16;
  static constexpr std::size_t ChunkSize = 4096;
  static constexpr std::size_t BufferSize = ChunkSize + BlockSize + 1;  // 4113
  static constexpr std::size_t KeyStagingSize = 256;

  // A new component has no key, no IV, all registers zero, and the properties
  // ECB, Small128 and smEncode.
  explicit TQuorin(framework::TComponent* AOwner);
  // Wipes the key and chaining state and the work buffer.
  ~TQuorin() override;

  // The class descriptor: class name, factory and the three published properties.
  static const framework::TComponentClass& ComponentClass();

  // --- Published properties. Setting one runs no code: a new KeySize takes
  // effect at the next keying, a new CipherMode at the next block (the chain
  // register is kept), a new StringMode at the next string operation.
  TCipherMode CipherMode() const { return FCipherMode; }
  // Throws std::out_of_range for a value outside the four modes, changing nothing.
  void SetCipherMode(TCipherMode Value);
  TKeySize KeySize() const { return FKeySize; }
  // A value outside the three sizes is kept and keys as Small128 (16 bytes).
  void SetKeySize(TKeySize Value) { FKeySize = Value; }
  TStringMode StringMode() const { return FStringMode; }
  // A value outside the two modes is kept and acts as smNormal (raw strings).
  void SetStringMode(TStringMode Value) { FStringMode = Value; }

  // --- Keying. The key schedule uses exactly 16, 24 or 32 bytes as KeySize
  // says: a shorter key is extended with zero bytes, a longer one cut. Keying
  // keeps the IV and the chain position. Returns 0, or -2 for an empty key
  // (nothing changes then; an earlier key stays in force).
  std::int32_t InitialiseString(const std::string& Key);
  // Uses Key[0..Count-1]. Count <= 0 gives -2. Throws std::out_of_range when
  // Count exceeds Key.size(), changing nothing.
  std::int32_t InitialiseByte(std::span<const std::uint8_t> Key, std::int32_t Count);

  // --- IV loading: up to 16 bytes are copied and zero-extended; longer IVs are
  // folded onto 16 bytes by XOR (byte 16 onto byte 0, ...). Needs no key;
  // restarts the chain.
  void LoadIVString(const std::string& IV);
  // Uses IV[0..Count-1]; Count <= 0 loads an all-zero IV. Throws
  // std::out_of_range when Count exceeds IV.size(), changing nothing.
  void LoadIVByte(std::span<const std::uint8_t> IV, std::int32_t Count);

  // Wipes the key, the IV and the chaining state. Keeps the properties and the work buffer.
  void Burn();
  // "1.11" (or "1.10" for the reduced feature set).
  std::string GetVersion() const;

  // --- Chaining step on the working block Block(): the one place where the
  // four modes live. They check nothing: the callers have.
  void EncryptBlockMode();
  void DecryptBlockMode();

  // --- Single blocks. 0, -1 (no key) or -4 (no IV). In and Out may be the same block.
  std::int32_t EncryptBlock(const TBlock& In, TBlock& Out);
  std::int32_t DecryptBlock(const TBlock& In, TBlock& Out);

#if QUORIN_HAS_CBCMAC
  // The chaining register, which after CBC encryption holds the last ciphertext
  // block. Out is zeroed first. Tests in order: -6 (mode not CBC), -1, -4.
  std::int32_t CBCMACBlock(TBlock& Out);
  // The same as 32 upper-case hexadecimal digits (all zeros on failure).
  std::int32_t CBCMACString(std::string& Out);
#endif

  // --- Work buffer. Fill Buffer()[0..Count-1], call, read the result from the
  // same place. Count must be a multiple of 16 in 16..4112, else -7 with
  // nothing changed (checked after -1 and -4).
  std::int32_t EncryptBuffer(TBufferCount Count);
  std::int32_t DecryptBuffer(TBufferCount Count);
  std::span<std::uint8_t, BufferSize> Buffer() {
    return FBuffer;
  }
  // The work buffer's address once a buffer operation has run; null before.
  std::uint8_t* BufferPtr() const {
    return FBufferPtr;
  }

#if QUORIN_HAS_STREAMS
  // --- Streams, in chunks of 4096 bytes through the work buffer; one unbroken
  // chain per call. Source is read from its position for GetSize() bytes; Dest
  // is written at its position. The format is the padded plaintext encrypted
  // block by block: no header, no length field. Status codes: -1, -4, and
  // -8 (decryption of a size that is 0 or not a multiple of 16) are reported
  // before anything is read; -11 when Source delivers fewer bytes than its size
  // promised; -5 when Dest takes fewer than offered; -9 when the final
  // decrypted byte exceeds the final chunk (that chunk is not written).
  // Exceptions of the streams pass through.
  std::int32_t EncryptStream(framework::TStream& Source, framework::TStream& Dest);
  std::int32_t DecryptStream(framework::TStream& Source, framework::TStream& Dest);
#endif

  // --- Files: the same format as the streams. -1/-4 touch no file; -10 when
  // both names denote the same file; -5 when binding a name or creating the
  // output fails, or a write stores too few bytes; -8 for a ciphertext whose
  // size is 0 or not a multiple of 16 (the output is then not created); -9 as
  // for streams. Input that cannot be opened, an output that cannot be opened
  // and any read, write or close failure raise framework::EInOutError. Every
  // file opened is closed before the call returns or throws. Once created, the
  // output keeps what was written before a failure.
  std::int32_t EncryptFile(const std::string& InFile, const std::string& OutFile);
  std::int32_t DecryptFile(const std::string& InFile, const std::string& OutFile);

  // The working block that the chaining step and EncBlock/DecBlock transform in place.
  std::span<std::uint8_t, BlockSize> Block() {
    return FBlock;
  }

  // --- Strings: count-byte padding, raw or armoured per StringMode. Source and
  // Dest may be the same string. 0, -1, -4; DecryptString also -8 when the raw
  // ciphertext is empty or not a multiple of 16 bytes. On failure Dest and the
  // chain are unchanged.
  std::int32_t EncryptString(const std::string& Source, std::string& Dest);
  std::int32_t DecryptString(const std::string& Source, std::string& Dest);

  // --- Text armour: three bytes to four characters of
  // "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", no
  // padding, no line breaks. Pure functions; need no key. Decoding maps
  // characters outside the alphabet to 0 and drops leftover bits.
  std::string EncodeString(const std::string& S) const;
  std::string DecodeString(const std::string& S) const;

  // --- The cipher core. rc6_key_setup reads the first 16/24/32 bytes of K (as
  // KeySize says) and ignores KeyLen; throws std::out_of_range when K is shorter.
  void rc6_key_setup(std::span<const std::uint8_t> K, std::int32_t KeyLen);
#if defined(QUORIN_FEATURES_1_10)
  void rotl(std::int32_t& X, std::int32_t Amount) const;
  void rotr(std::int32_t& X, std::int32_t Amount) const;
#else
  // Rotate X in place by the low five bits of Amount.
  void rotl(std::uint32_t& X, std::int32_t Amount) const;
  void rotr(std::uint32_t& X, std::int32_t Amount) const;
#endif
  // In and Out may be the same record.
  void rc6_block_encrypt(const TQuadWord& In, TQuadWord& Out) const;
  void rc6_block_decrypt(const TQuadWord& In, TQuadWord& Out) const;
  // Transform Block() in place, without chaining and without any check.
  void EncBlock();
  void DecBlock();

 private:
  // Blocks consecutive 16-byte blocks at Data through the chaining step, in
  // place, leaving the working block and the chain as block-by-block steps
  // would. Runs of independent blocks go through the multi-block cipher kernel.
  // In and Out are the same blocks or do not overlap.
  void EncryptBlocksMode(const std::uint8_t* In, std::uint8_t* Out, std::size_t Blocks);
  void DecryptBlocksMode(const std::uint8_t* In, std::uint8_t* Out, std::size_t Blocks);
  void EncryptBlocksMode(std::uint8_t* Data, std::size_t Blocks) {
    EncryptBlocksMode(Data, Data, Blocks);
  }
  void DecryptBlocksMode(std::uint8_t* Data, std::size_t Blocks) {
    DecryptBlocksMode(Data, Data, Blocks);
  }
  // As EncryptBlocksMode or DecryptBlocksMode (In and Out apart), with the
  // first half on Helper's thread where no block waits on the result of the
  // one before: ECB, and CBC and CFB decryption. The instance is left as the
  // one-thread call leaves it.
  void TransformBlocksSplit(bool Encrypt, const std::uint8_t* In, std::uint8_t* Out,
                            std::size_t Blocks, detail::TSecondCore& Helper);
  bool SplitsBlocks(bool Encrypt) const;
#if QUORIN_HAS_STREAMS
  // Chunks whole 4096-byte chunks from Source to Dest, transformed; a status
  // for a short read or write, with everything as the chunk-by-chunk loop
  // leaves it.
  std::int32_t PumpWholeChunks(framework::TStream& Source, framework::TStream& Dest,
                               std::int64_t Chunks, bool Encrypt);
#endif
  // The first Blocks of such a run from the chain register Chain, touching
  // nothing of the instance (so that another thread may run it meanwhile).
  void TransformDetached(bool Encrypt, const TBlock& Chain, const std::uint8_t* In,
                         std::uint8_t* Out, std::size_t Blocks) const;
  // -1 without a key, -4 outside ECB without an IV, else 0.
  std::int32_t KeyStatus() const;
  std::int32_t KeyFromStaging(const std::uint8_t* Key, std::size_t Length, std::int32_t KeyLen);
  void LoadIV(const std::uint8_t* IV, std::size_t Length);
  std::int32_t CheckBufferCount(std::int32_t Count) const;

  // Key and chaining state, wiped by Burn: everything from FInitialised to FBlock.
  bool FInitialised = false;
  bool FIVLoaded = false;
  TBlock FIV{};
  TBlock FSave{};
  std::array<std::uint32_t, 44> FS{};
  TBlock FBlock{};
  TCipherMode FCipherMode = TCipherMode::ECB;
  TKeySize FKeySize = TKeySize::Small128;
  std::array<std::uint8_t, BufferSize> FBuffer{};
  std::uint8_t* FBufferPtr = nullptr;
  TStringMode FStringMode = TStringMode::smEncode;
};

// Puts TQuorin on the palette page "Vantrel".
RC6_API void Register();

// The block kernel chosen for this processor at start: "avx512", "avx2" or
// "portable" ("simd128" in WebAssembly). QUORIN_CPU_DISABLE takes kernels
// away: "avx512" leaves AVX2, "avx512,avx2" the portable one.
RC6_API const char* KernelName();

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
