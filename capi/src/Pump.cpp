#include "Pump.h"

#include <cstdint>
#include <span>
#include <vector>

#include "quorin/platform/Wipe.h"
#include "quorin/seal/Errors.h"

namespace quorin_capi {
namespace {

constexpr std::int32_t kPiece = std::int32_t{4} << 20;

// Both buffers may hold plaintext: wiped however the pump ends.
struct Buffers {
  std::vector<std::uint8_t> in = std::vector<std::uint8_t>(kPiece), out;
  ~Buffers() {
    quorin::platform::Wipe(in.data(), in.size());
    quorin::platform::Wipe(out.data(), out.size());
  }
};

std::int32_t Fill(framework::TStream& source, std::uint8_t* buffer) {
  std::int32_t got = 0;
  while (got < kPiece) {
    const std::int32_t n = source.Read(buffer + got, kPiece - got);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

void Put(framework::TStream& sink, const std::uint8_t* data, std::size_t size) {
  if (size > 0 &&
      sink.Write(data, static_cast<std::int32_t>(size)) != static_cast<std::int32_t>(size))
    throw quorin::seal::FileError("the output could not be written completely (disk full?)");
}

template <class Pushed>
void PumpThrough(framework::TStream& source, framework::TStream& sink, Pushed& pushed) {
  Buffers b;
  for (;;) {
    const std::int32_t n = Fill(source, b.in.data());
    const std::size_t most = pushed.MostOutput(static_cast<std::size_t>(n));
    if (b.out.size() < most) {
      quorin::platform::Wipe(b.out.data(), b.out.size());
      b.out.assign(most, 0);
    }
    Put(sink, b.out.data(), pushed.Update({b.in.data(), static_cast<std::size_t>(n)}, b.out));
    if (n < kPiece) break;
  }
  if (b.out.size() < pushed.MostOutput(0)) b.out.resize(pushed.MostOutput(0));
  Put(sink, b.out.data(), pushed.Finish(b.out));
}

}  // namespace

void Pump(framework::TStream& source, framework::TStream& sink,
          quorin::seal::IncrementalSealer& sealer) {
  PumpThrough(source, sink, sealer);
}

void Pump(framework::TStream& source, framework::TStream& sink,
          quorin::seal::IncrementalOpener& opener) {
  PumpThrough(source, sink, opener);
}

}  // namespace quorin_capi
