// The standard library's types over the framework::TStream forms: a source
// and a sink seen as streams, and memory as a source and a sink.
#include "quorin/seal/Standard.h"

#include <algorithm>
#include <ios>
#include <limits>
#include <stdexcept>

#include "quorin/platform/SecretMemory.h"
#include "quorin/platform/Wipe.h"

namespace quorin::seal {

ByteSource::~ByteSource() = default;
ByteSink::~ByteSink() = default;

std::size_t IstreamSource::Read(std::span<std::uint8_t> buffer) {
  in_.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
  if (in_.bad()) throw std::ios_base::failure("the input stream could not be read");
  return static_cast<std::size_t>(in_.gcount());
}

void OstreamSink::Write(std::span<const std::uint8_t> data) {
  out_.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out_) throw std::ios_base::failure("the output stream could not be written");
}

namespace {

// A source read as a stream: whole reads (fewer bytes only at the end), and
// the position for the telling of it.
class SourceStream final : public framework::TStream {
 public:
  explicit SourceStream(ByteSource& source) : source_(source) {}
  std::int32_t Read(void* buffer, std::int32_t count) override {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t got = 0;
    const auto want = static_cast<std::size_t>(std::max(count, 0));
    while (got < want) {
      const std::size_t n = source_.Read({bytes + got, want - got});
      if (n == 0) break;
      if (n > want - got) throw std::length_error("a ByteSource gave more bytes than it was asked");
      got += n;
    }
    position_ += static_cast<std::int64_t>(got);
    return static_cast<std::int32_t>(got);
  }
  std::int32_t Write(const void*, std::int32_t) override {
    throw std::logic_error("a ByteSource is not written to");
  }
  std::int64_t Seek(std::int64_t offset, framework::TSeekOrigin origin) override {
    if (offset != 0 || origin != framework::TSeekOrigin::soCurrent)
      throw std::logic_error("a ByteSource does not seek");
    return position_;
  }

 private:
  ByteSource& source_;
  std::int64_t position_ = 0;
};

class SinkStream final : public framework::TStream {
 public:
  explicit SinkStream(ByteSink& sink) : sink_(sink) {}
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    if (count <= 0) return 0;
    sink_.Write({static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(count)});
    position_ += count;
    return count;
  }
  std::int64_t Seek(std::int64_t offset, framework::TSeekOrigin origin) override {
    if (offset != 0 || origin != framework::TSeekOrigin::soCurrent)
      throw std::logic_error("a ByteSink does not seek");
    return position_;
  }

 private:
  ByteSink& sink_;
  std::int64_t position_ = 0;
};

class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : rest_(bytes) {}
  std::size_t Read(std::span<std::uint8_t> buffer) override {
    const std::size_t n = std::min(buffer.size(), rest_.size());
    std::copy_n(rest_.begin(), n, buffer.begin());
    rest_ = rest_.subspan(n);
    return n;
  }

 private:
  std::span<const std::uint8_t> rest_;
};

class VectorSink final : public ByteSink {
 public:
  explicit VectorSink(std::vector<std::uint8_t>& out) : out_(out) {}
  void Write(std::span<const std::uint8_t> data) override {
    out_.insert(out_.end(), data.begin(), data.end());
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// The secrets as the stream forms take them: pointers to the caller's objects.
template <class Objects>
std::vector<const Secret*> PointersTo(const Objects& secrets) {
  std::vector<const Secret*> pointers;
  for (const Secret& s : secrets) pointers.push_back(&s);
  return pointers;
}

std::vector<const Secret*> PointersOf(std::span<const Secret> secrets) {
  return PointersTo(secrets);
}

std::vector<std::uint8_t> Sealed(std::span<const std::uint8_t> plain, Secrets secrets,
                                 const SealOptions& options) {
  std::vector<std::uint8_t> out;
  const std::uint64_t size = SealedBytes(plain.size(), secrets, options);
  if (size > std::numeric_limits<std::size_t>::max())
    throw std::length_error("the sealed bytes would not fit in this process's memory");
  out.reserve(static_cast<std::size_t>(size));
  SpanSource source(plain);
  VectorSink sink(out);
  SourceStream in(source);
  SinkStream to(sink);
  SealStream(in, to, secrets, options);
  return out;
}

// The plaintext is wiped from a failed call's output: nothing of it leaves.
std::vector<std::uint8_t> Opened(std::span<const std::uint8_t> sealed, Secrets secrets,
                                 const OpenOptions& options) {
  std::vector<std::uint8_t> out;
  out.reserve(sealed.size());  // never more than the sealed bytes: no copy left behind
  try {
    SpanSource source(sealed);
    VectorSink sink(out);
    SourceStream in(source);
    SinkStream to(sink);
    OpenStream(in, to, secrets, options);
  } catch (...) {
    platform::Wipe(out.data(), out.size());
    throw;
  }
  return out;
}

}  // namespace

namespace detail {
std::vector<const Secret*> Pointers(SecretList secrets) {
  return PointersTo(secrets);
}
}  // namespace detail

std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain, const Secret& secret,
                               const SealOptions& options) {
  const Secret* one[] = {&secret};
  return Sealed(plain, one, options);
}
std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain, SecretList secrets,
                               const SealOptions& options) {
  return Sealed(plain, detail::Pointers(secrets), options);
}
std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain, std::span<const Secret> secrets,
                               const SealOptions& options) {
  return Sealed(plain, PointersOf(secrets), options);
}
std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> plain, const SealOptions& options) {
  return Sealed(plain, {}, options);
}

std::vector<std::uint8_t> Open(std::span<const std::uint8_t> sealed, const Secret& secret,
                               const OpenOptions& options) {
  const Secret* one[] = {&secret};
  return Opened(sealed, one, options);
}
std::vector<std::uint8_t> Open(std::span<const std::uint8_t> sealed, SecretList secrets,
                               const OpenOptions& options) {
  return Opened(sealed, detail::Pointers(secrets), options);
}
std::vector<std::uint8_t> Open(std::span<const std::uint8_t> sealed,
                               std::span<const Secret> secrets, const OpenOptions& options) {
  return Opened(sealed, PointersOf(secrets), options);
}

void SealStream(ByteSource& source, ByteSink& sink, SecretList secrets,
                const SealOptions& options) {
  SourceStream in(source);
  SinkStream to(sink);
  SealStream(in, to, detail::Pointers(secrets), options);
}
void SealStream(ByteSource& source, ByteSink& sink, std::span<const Secret> secrets,
                const SealOptions& options) {
  SourceStream in(source);
  SinkStream to(sink);
  SealStream(in, to, PointersOf(secrets), options);
}
void OpenStream(ByteSource& source, ByteSink& sink, SecretList secrets,
                const OpenOptions& options) {
  SourceStream in(source);
  SinkStream to(sink);
  OpenStream(in, to, detail::Pointers(secrets), options);
}
void OpenStream(ByteSource& source, ByteSink& sink, std::span<const Secret> secrets,
                const OpenOptions& options) {
  SourceStream in(source);
  SinkStream to(sink);
  OpenStream(in, to, PointersOf(secrets), options);
}

}  // namespace quorin::seal
