// The bulk commands' loops: data moves chunk by chunk through the
// component's work buffer, so any input (a file, a pipe, a FIFO, standard
// input at any offset) is handled in constant memory and nothing is spooled
// to disk. The bytes are those of the component's stream operations.
#pragma once

#include <memory>
#include <string>

#include "Files.h"
#include "Progress.h"
#include "quorin/Rc6.h"
#include "quorin/platform/SecondCore.h"

namespace quorin {

// Reads a string as a source.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(const std::string& data) : data_(data) {}
  std::size_t Read(std::uint8_t* buffer, std::size_t count) override;

 private:
  const std::string& data_;
  std::size_t at_ = 0;
};

// Appends what is written to it to a string.
class StringSink : public ByteSink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  void Write(const std::uint8_t* data, std::size_t count) override {
    text_.append(reinterpret_cast<const char*>(data), count);
  }

 private:
  std::string& text_;
};

// Drops what is written to it.
class NullSink : public ByteSink {
 public:
  void Write(const std::uint8_t*, std::size_t) override {}
};

// A second instance, keyed and loaded as the first, and a second core: the
// loops then read whole chunks a group at a time and transform each group
// half on either core, in the modes whose blocks do not wait on each other
// (ECB; CBC and CFB decryption). Without a second core to use, the loops
// keep to one chunk at a time.
class TwoCores {
 public:
  TwoCores(std::unique_ptr<Rc6::TQuorin> helper, bool chained);
  ~TwoCores();
  TwoCores(const TwoCores&) = delete;
  TwoCores& operator=(const TwoCores&) = delete;
  bool Available() const;
  // Chunks whole chunks at data, in place, as q's work buffer would
  // transform them one by one (and q is left as that leaves it).
  void Transform(Rc6::TQuorin& q, std::uint8_t* data, std::size_t chunks, bool encrypt);

 private:
  std::unique_ptr<Rc6::TQuorin> helper_;
  bool chained_, first_ = true;
  Rc6::TBlock previous_{};  // the last ciphertext block transformed, for a chain
  std::unique_ptr<platform::SecondCore> core_;
};

// Encrypts all of in, with count-byte padding, into out.
void EncryptAll(Rc6::TQuorin& q, ByteSource& in, ByteSink& out, Progress& progress,
                TwoCores* two = nullptr);

// Decrypts all of in into out. The padding is checked strictly (pad value
// 1 to 16, every pad byte equal to it) before the final chunk is written;
// throws CommandError naming `what` otherwise, or when the input is not a
// whole, non-zero number of blocks.
void DecryptAll(Rc6::TQuorin& q, ByteSource& in, ByteSink& out, Progress& progress,
                const std::string& what, bool armoured = false, TwoCores* two = nullptr);

// The final chunk's pad length when its padding is well formed, else 0.
std::size_t StrictPadLength(const std::uint8_t* chunk, std::size_t length);

}  // namespace quorin
