// Fuzzes the stream operations with lying sources and destinations: a size
// that is not the truth, short reads and writes, and exceptions at any call.
// With honest streams, encryption then decryption must give the input back;
// with liars, every call must end in a documented status code or the
// stream's own exception, and never fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "quorin/Rc6.h"

namespace {

// The fault plan, taken from the fuzzer's first bytes.
struct Plan {
  std::int64_t sizeLie = 0;  // added to the size that Seek(0, soEnd) reports
  int shortReadAt = -1, shortWriteAt = -1, throwReadAt = -1, throwWriteAt = -1;
};

struct StreamFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class LyingStream : public framework::TMemoryStream {
 public:
  explicit LyingStream(const Plan& plan) : plan_(plan) {}
  std::int32_t Read(void* b, std::int32_t n) override {
    const int call = reads_++;
    if (call == plan_.throwReadAt) throw StreamFault("read");
    const std::int32_t got = TMemoryStream::Read(b, n);
    return call == plan_.shortReadAt && got > 0 ? got / 2 : got;
  }
  std::int32_t Write(const void* b, std::int32_t n) override {
    const int call = writes_++;
    if (call == plan_.throwWriteAt) throw StreamFault("write");
    const std::int32_t put = TMemoryStream::Write(b, call == plan_.shortWriteAt ? n / 2 : n);
    return put;
  }
  std::int64_t Seek(std::int64_t offset, framework::TSeekOrigin origin) override {
    const std::int64_t at = TMemoryStream::Seek(offset, origin);
    return origin == framework::TSeekOrigin::soEnd && offset == 0 && at + plan_.sizeLie >= 0
               ? at + plan_.sizeLie
               : at;
  }

 private:
  Plan plan_;
  int reads_ = 0, writes_ = 0;
};

bool Documented(std::int32_t status) {
  return status == 0 || status == -5 || status == -8 || status == -9 || status == -11;
}

Rc6::TQuorin& Keyed(Rc6::TQuorin& q, Rc6::TCipherMode mode) {
  q.SetCipherMode(mode);
  q.InitialiseString("stream fuzz key!");
  q.LoadIVString("stream fuzz iv..");
  return q;
}

int Index(std::uint8_t b) {
  return b < 128 ? b % 8 : -1;  // half the time no fault at all
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const auto mode = static_cast<Rc6::TCipherMode>(data[0] & 3);
  Plan source, dest;
  source.sizeLie = static_cast<std::int8_t>(data[1]);
  if ((data[0] & 4) == 0) source.sizeLie = 0;
  source.shortReadAt = Index(data[2]);
  source.throwReadAt = (data[0] & 8) != 0 ? Index(data[3]) : -1;
  dest.shortWriteAt = Index(data[4]);
  dest.throwWriteAt = (data[0] & 16) != 0 ? Index(data[5]) : -1;
  // The payload is repeated so that several chunks go through.
  std::string payload(reinterpret_cast<const char*>(data + 6), size - 6);
  const std::size_t copies = (data[0] >> 5) + 1u;
  std::string plain;
  for (std::size_t i = 0; i < copies * copies; ++i) plain += payload;

  // Honest streams: a round trip.
  {
    Rc6::TQuorin enc(nullptr), dec(nullptr);
    framework::TMemoryStream in, mid, out;
    in.Write(plain.data(), static_cast<std::int32_t>(plain.size()));
    in.SetPosition(0);
    if (Keyed(enc, mode).EncryptStream(in, mid) != 0) std::abort();
    mid.SetPosition(0);
    if (Keyed(dec, mode).DecryptStream(mid, out) != 0) std::abort();
    if (out.GetSize() != static_cast<std::int64_t>(plain.size())) std::abort();
    if (std::string(reinterpret_cast<const char*>(out.Memory()), plain.size()) != plain)
      std::abort();
  }
  // Liars on either side.
  for (const bool encrypt : {true, false}) {
    Rc6::TQuorin q(nullptr);
    LyingStream in(source), out(dest);
    in.TMemoryStream::Write(plain.data(), static_cast<std::int32_t>(plain.size()));
    in.TMemoryStream::Seek(0, framework::TSeekOrigin::soBeginning);
    try {
      const std::int32_t status =
          encrypt ? Keyed(q, mode).EncryptStream(in, out) : Keyed(q, mode).DecryptStream(in, out);
      if (!Documented(status)) std::abort();
    } catch (const StreamFault&) {
    } catch (const framework::EStreamError&) {
    }
  }
  return 0;
}
