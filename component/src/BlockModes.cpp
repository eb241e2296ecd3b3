// The four chaining modes, the single-block operations and the CBC-MAC read-out.
//
// Every block the component processes passes through EncryptBlockMode or
// DecryptBlockMode. The chaining register FIV is the only state carried from
// one block to the next, so a run of blocks gives the same result however it
// is split across calls. CFB and OFB use full 128-bit feedback and the forward
// transform in both directions.
#include <algorithm>
#include <cstring>

#include "BlockWords.h"
#include "TwoCores.h"
#include "cipher/Rc6.h"
#include "cipher/Rc6Rounds.h"
#include "quorin/Rc6.h"
#include "quorin/framework/SysUtils.h"
#include "quorin/platform/Wipe.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
namespace {

void XorInto(TBlock& Target, const TBlock& Other) {
  for (std::size_t k = 0; k < Target.size(); ++k) Target[k] ^= Other[k];
}

// Blocks handed to the multi-block kernel at a time by the chained decryptions.
constexpr std::size_t kBatchBlocks = 64;

}  // namespace

void TQuorin::EncryptBlockMode() {
  switch (FCipherMode) {
    case TCipherMode::ECB:
      EncBlock();
      break;
    case TCipherMode::CBC:  // C = E(P xor V); V = C
      XorInto(FBlock, FIV);
      EncBlock();
      FIV = FBlock;
      break;
    case TCipherMode::CFB:  // C = P xor E(V); V = C
      FSave = FBlock;
      FBlock = FIV;
      EncBlock();
      FIV = FBlock;
      FBlock = FSave;
      XorInto(FBlock, FIV);
      FIV = FBlock;
      break;
    case TCipherMode::OFB:  // C = P xor E(V); V = E(V)
      FSave = FBlock;
      FBlock = FIV;
      EncBlock();
      FIV = FBlock;
      FBlock = FSave;
      XorInto(FBlock, FIV);
      break;
  }
}

void TQuorin::DecryptBlockMode() {
  switch (FCipherMode) {
    case TCipherMode::ECB:
      DecBlock();
      break;
    case TCipherMode::CBC:  // P = D(C) xor V; V = C
      FSave = FBlock;
      DecBlock();
      XorInto(FBlock, FIV);
      FIV = FSave;
      break;
    case TCipherMode::CFB:  // P = C xor E(V); V = C
      FSave = FBlock;
      FBlock = FIV;
      EncBlock();
      FIV = FBlock;
      FBlock = FSave;
      XorInto(FBlock, FIV);
      FIV = FSave;
      break;
    case TCipherMode::OFB:  // the same operation as encryption
      EncryptBlockMode();
      break;
  }
}

void TQuorin::EncryptBlocksMode(const std::uint8_t* In, std::uint8_t* Out, std::size_t Blocks) {
  if (Blocks == 0) return;
  if (FCipherMode == TCipherMode::ECB) {
    cipher::Rc6EncryptBlocks(FS, In, Out, Blocks);
    std::memcpy(FBlock.data(), Out + BlockSize * (Blocks - 1), BlockSize);
    return;
  }
  // CBC, CFB and OFB encryption: each block needs the one before, so the chain
  // stays in registers from block to block and only its end is stored. The
  // rounds are inlined and the mode is chosen once, outside the loop.
  const auto xorWords = [](cipher::Rc6Words a, const cipher::Rc6Words& b) {
    return cipher::Rc6Words{a.A ^ b.A, a.B ^ b.B, a.C ^ b.C, a.D ^ b.D};
  };
  cipher::Rc6Words chain = cipher::Rc6LoadBlock(FIV.data()), plain{}, out{};
  switch (FCipherMode) {
    case TCipherMode::CBC:  // C = E(P xor V); V = C
      for (std::size_t i = 0; i < Blocks; ++i, In += BlockSize, Out += BlockSize) {
        plain = cipher::Rc6LoadBlock(In);
        out = chain = cipher::rounds::Encrypt(FS, xorWords(plain, chain));
        cipher::Rc6StoreBlock(out, Out);
      }
      break;
    case TCipherMode::CFB:  // C = P xor E(V); V = C
      for (std::size_t i = 0; i < Blocks; ++i, In += BlockSize, Out += BlockSize) {
        plain = cipher::Rc6LoadBlock(In);
        out = chain = xorWords(plain, cipher::rounds::Encrypt(FS, chain));
        cipher::Rc6StoreBlock(out, Out);
      }
      break;
    default:  // OFB: C = P xor E(V); V = E(V)
      for (std::size_t i = 0; i < Blocks; ++i, In += BlockSize, Out += BlockSize) {
        plain = cipher::Rc6LoadBlock(In);
        chain = cipher::rounds::Encrypt(FS, chain);
        out = xorWords(plain, chain);
        cipher::Rc6StoreBlock(out, Out);
      }
      break;
  }
  cipher::Rc6StoreBlock(chain, FIV.data());
  cipher::Rc6StoreBlock(out, FBlock.data());
  if (FCipherMode != TCipherMode::CBC) cipher::Rc6StoreBlock(plain, FSave.data());
  quorin::platform::WipeObject(plain);
}

namespace {

// out = a xor b for one block, as one 16-byte vector (memcpy keeps the loads
// and stores free of alignment and aliasing questions).
using Block128 = std::uint64_t __attribute__((vector_size(16)));
inline void Xor16(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b) {
  Block128 x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  x ^= y;
  std::memcpy(out, &x, sizeof x);
}

}  // namespace

void TQuorin::DecryptBlocksMode(const std::uint8_t* In, std::uint8_t* Out, std::size_t Blocks) {
  if (Blocks == 0) return;
  switch (FCipherMode) {
    case TCipherMode::ECB:
      cipher::Rc6DecryptBlocks(FS, In, Out, Blocks);
      break;
    case TCipherMode::CBC: {  // P[i] = D(C[i]) xor C[i-1]
      std::array<std::uint8_t, kBatchBlocks * BlockSize> work;
      for (std::size_t done = 0; done < Blocks;) {
        const std::size_t n = std::min(kBatchBlocks, Blocks - done);
        const std::uint8_t* c = In + BlockSize * done;
        std::uint8_t* p = Out + BlockSize * done;
        cipher::Rc6DecryptBlocks(FS, c, work.data(), n);
        // The batch's last ciphertext block chains into the next batch.
        std::memcpy(FSave.data(), c + BlockSize * (n - 1), BlockSize);
        // Back to front, so that in place each block's predecessor is still ciphertext.
        for (std::size_t j = n - 1; j > 0; --j)
          Xor16(p + BlockSize * j, work.data() + BlockSize * j, c + BlockSize * (j - 1));
        Xor16(p, work.data(), FIV.data());
        FIV = FSave;
        done += n;
      }
      quorin::platform::WipeObject(work);
      break;
    }
    case TCipherMode::CFB: {  // P[i] = C[i] xor E(C[i-1])
      // The kernel encrypts each batch's ciphertext where it lies; block i
      // takes the keystream from block i-1's result, the batch's first block
      // from the one before it (for the call's first block, E(IV)).
      std::array<std::uint8_t, kBatchBlocks * BlockSize> work;
      TBlock stream;
      cipher::Rc6EncryptBlocks(FS, FIV.data(), stream.data(), 1);
      for (std::size_t done = 0; done < Blocks;) {
        const std::size_t n = std::min(kBatchBlocks, Blocks - done);
        const std::uint8_t* c = In + BlockSize * done;
        std::uint8_t* p = Out + BlockSize * done;
        cipher::Rc6EncryptBlocks(FS, c, work.data(), n);
        std::memcpy(FSave.data(), c + BlockSize * (n - 1), BlockSize);
        Xor16(p, c, stream.data());
        for (std::size_t j = 1; j < n; ++j)
          Xor16(p + BlockSize * j, c + BlockSize * j, work.data() + BlockSize * (j - 1));
        std::memcpy(stream.data(), work.data() + BlockSize * (n - 1), BlockSize);
        FIV = FSave;
        done += n;
      }
      quorin::platform::WipeObject(work);
      quorin::platform::WipeObject(stream);
      break;
    }
    case TCipherMode::OFB:  // the same as encryption
      EncryptBlocksMode(In, Out, Blocks);
      return;
  }
  std::memcpy(FBlock.data(), Out + BlockSize * (Blocks - 1), BlockSize);
}

bool TQuorin::SplitsBlocks(bool Encrypt) const {
  return FCipherMode == TCipherMode::ECB ||
         (!Encrypt && (FCipherMode == TCipherMode::CBC || FCipherMode == TCipherMode::CFB));
}

void TQuorin::TransformDetached(bool Encrypt, const TBlock& Chain, const std::uint8_t* In,
                                std::uint8_t* Out, std::size_t Blocks) const {
  if (Blocks == 0) return;
  switch (FCipherMode) {
    case TCipherMode::ECB:
      (Encrypt ? cipher::Rc6EncryptBlocks : cipher::Rc6DecryptBlocks)(FS, In, Out, Blocks);
      break;
    case TCipherMode::CBC:  // P[i] = D(C[i]) xor C[i-1]
      cipher::Rc6DecryptBlocks(FS, In, Out, Blocks);
      for (std::size_t j = Blocks - 1; j > 0; --j)
        Xor16(Out + BlockSize * j, Out + BlockSize * j, In + BlockSize * (j - 1));
      Xor16(Out, Out, Chain.data());
      break;
    default: {  // CFB: P[i] = C[i] xor E(C[i-1])
      TBlock stream;
      cipher::Rc6EncryptBlocks(FS, Chain.data(), stream.data(), 1);
      cipher::Rc6EncryptBlocks(FS, In, Out + BlockSize, Blocks - 1);
      Xor16(Out, In, stream.data());
      for (std::size_t j = 1; j < Blocks; ++j)
        Xor16(Out + BlockSize * j, Out + BlockSize * j, In + BlockSize * j);
      quorin::platform::WipeObject(stream);
      break;
    }
  }
}

namespace {

// Below this many blocks a run is not worth a hand-over to another thread.
constexpr std::size_t kSplitFrom = 64 * kBatchBlocks;  // 64 KiB

}  // namespace

void TQuorin::TransformBlocksSplit(bool Encrypt, const std::uint8_t* In, std::uint8_t* Out,
                                   std::size_t Blocks, detail::TSecondCore& Helper) {
  if (!Helper.Available() || Blocks < kSplitFrom || !SplitsBlocks(Encrypt)) {
    (Encrypt ? EncryptBlocksMode(In, Out, Blocks) : DecryptBlocksMode(In, Out, Blocks));
    return;
  }
  struct THead {
    const TQuorin* Self;
    bool Encrypt;
    TBlock Chain;
    const std::uint8_t* In;
    std::uint8_t* Out;
    std::size_t Blocks;
  } head{this, Encrypt, FIV, In, Out, Blocks / 2};
  const auto runHead = [](void* h) noexcept {
    const auto& w = *static_cast<THead*>(h);
    w.Self->TransformDetached(w.Encrypt, w.Chain, w.In, w.Out, w.Blocks);
  };
  Helper.Run(runHead, &head, [&] {
    // The second half chains from the first half's last ciphertext block,
    // and leaves the instance as the whole run would.
    const std::size_t at = BlockSize * head.Blocks;
    if (FCipherMode != TCipherMode::ECB) std::memcpy(FIV.data(), In + at - BlockSize, BlockSize);
    if (Encrypt)
      EncryptBlocksMode(In + at, Out + at, Blocks - head.Blocks);
    else
      DecryptBlocksMode(In + at, Out + at, Blocks - head.Blocks);
  });
  quorin::platform::WipeObject(head.Chain);
}

std::int32_t TQuorin::EncryptBlock(const TBlock& In, TBlock& Out) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  if (FCipherMode == TCipherMode::ECB) {
    // The result goes to Out and the working block from registers: copying
    // it out of the working block would reload four word stores as one.
    const cipher::Rc6Words w = cipher::rounds::Encrypt(FS, detail::LoadWords(In));
    detail::StoreWords(w, FBlock);
    detail::StoreWords(w, Out);
    return TStatus::Ok;
  }
  FBlock = In;
  EncryptBlockMode();
  Out = FBlock;
  return TStatus::Ok;
}

std::int32_t TQuorin::DecryptBlock(const TBlock& In, TBlock& Out) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  FBlock = In;
  DecryptBlockMode();
  Out = FBlock;
  return TStatus::Ok;
}

#if QUORIN_HAS_CBCMAC
std::int32_t TQuorin::CBCMACBlock(TBlock& Out) {
  Out.fill(0);
  if (FCipherMode != TCipherMode::CBC) return TStatus::NotCBC;
  if (!FInitialised) return TStatus::NoKey;
  if (!FIVLoaded) return TStatus::NoIV;
  Out = FIV;
  return TStatus::Ok;
}

std::int32_t TQuorin::CBCMACString(std::string& Out) {
  TBlock mac;
  const std::int32_t status = CBCMACBlock(mac);
  Out.clear();
  Out.reserve(2 * mac.size());
  for (std::uint8_t b : mac) Out += framework::IntToHex(b, 2);
  return status;
}
#endif

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
