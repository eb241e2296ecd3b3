// The C interface to sealing and opening pushed bytes, on the caller's
// thread: the library's IncrementalSealer and IncrementalOpener, with a
// sticky status and the opener's output wiped when a call fails.
#include <optional>
#include <span>
#include <utility>

#include "SealedCommon.h"
#include "quorin/platform/Wipe.h"
#include "quorin/seal/Incremental.h"

using namespace quorin_capi;
namespace seal = quorin::seal;

namespace {

// A failure, once seen, is the answer to every later call.
template <class Object, class F>
int Sticky(Object& o, F&& f) {
  if (o.failure) return Fail(*o.failure);
  const int status = SealGuarded(std::forward<F>(f));
  if (status != QUORIN_OK) o.failure = Failure{status, quorin_last_error()};
  return status;
}

int Pushed(auto& o, const uint8_t* src, size_t len, uint8_t* dst, size_t dst_len, size_t* written,
           bool finish, bool wipeOnFailure) {
  if (written == nullptr || (src == nullptr && len != 0) || (dst == nullptr && dst_len != 0))
    return Invalid("src, dst or written is NULL");
  *written = 0;
  if (o.finished && !o.failure) return Invalid("it was finished: make a new one for more data");
  const int status = Sticky(o, [&]() -> int {
    const std::span<std::uint8_t> out(dst, dst_len);
    *written = finish ? o.pushed.Finish(out) : o.pushed.Update({src, len}, out);
    o.finished = finish;
    return QUORIN_OK;
  });
  if (status != QUORIN_OK && wipeOnFailure && dst != nullptr) quorin::platform::Wipe(dst, dst_len);
  return status;
}

// The chunk keys of a sealer or opener that has not failed; a refusal
// (the wrong state) is not sticky: nothing was changed.
int ChunkKeys(const auto& o, uint8_t* keys, size_t keys_len, size_t* chunk_len) {
  if (keys == nullptr || keys_len != QUORIN_CHUNK_KEYS_BYTES || chunk_len == nullptr)
    return Invalid("keys must have room for QUORIN_CHUNK_KEYS_BYTES, and chunk_len be given");
  if (o.failure) return Fail(*o.failure);
  if (o.finished) return Invalid("it was finished");
  return SealGuarded([&]() -> int {
    *chunk_len = o.pushed.ChunkKeys(std::span<std::uint8_t, seal::kChunkKeysBytes>(keys, keys_len));
    return QUORIN_OK;
  });
}

int Skip(auto& o, uint64_t chunks) {
  if (o.failure) return Fail(*o.failure);
  if (o.finished) return Invalid("it was finished");
  return SealGuarded([&]() -> int {
    o.pushed.Skip(chunks);
    return QUORIN_OK;
  });
}

// Chunks sealed or opened away from their sealer or opener; a failed
// opening leaves dst wiped.
int Chunks(bool sealing, const uint8_t* keys, size_t keys_len, uint64_t first, const uint8_t* src,
           size_t len, uint8_t* dst, size_t dst_len) {
  if (keys == nullptr || keys_len != QUORIN_CHUNK_KEYS_BYTES || (src == nullptr && len != 0) ||
      (dst == nullptr && dst_len != 0))
    return Invalid("keys (QUORIN_CHUNK_KEYS_BYTES bytes), src or dst is NULL or wrong");
  const std::span<const std::uint8_t, seal::kChunkKeysBytes> fileKeys(keys, keys_len);
  const int status = SealGuarded([&]() -> int {
    if (sealing)
      seal::SealChunks(fileKeys, first, {src, len}, {dst, dst_len});
    else
      seal::OpenChunks(fileKeys, first, {src, len}, {dst, dst_len});
    return QUORIN_OK;
  });
  if (status != QUORIN_OK && !sealing && dst != nullptr) quorin::platform::Wipe(dst, dst_len);
  return status;
}

}  // namespace

struct quorin_sealer {
  quorin_sealer(const quorin_secrets& s, const quorin_seal_options* options)
      : pushed(s.Pointers(), SealOptionsOf(s, options)) {}
  seal::IncrementalSealer pushed;
  std::optional<Failure> failure;
  bool finished = false;
};

struct quorin_opener {
  quorin_opener(const quorin_secrets& s, const quorin_open_options* options)
      : pushed(s.Pointers(), OpenOptionsOf(options)) {}
  seal::IncrementalOpener pushed;
  std::optional<Failure> failure;
  bool finished = false;
};

extern "C" {

int quorin_sealer_new(const quorin_secrets* s, const quorin_seal_options* options,
                      quorin_sealer** sealer) {
  if (s == nullptr || sealer == nullptr)
    return Invalid("the secrets or the sealer's place is NULL");
  return SealGuarded([&]() -> int {
    *sealer = new quorin_sealer(*s, options);
    return QUORIN_OK;
  });
}

size_t quorin_sealer_room(const quorin_sealer* s, size_t len) {
  return s == nullptr ? 0 : s->pushed.MostOutput(len);
}

int quorin_sealer_update(quorin_sealer* s, const uint8_t* src, size_t len, uint8_t* dst,
                         size_t dst_len, size_t* written) {
  if (s == nullptr) return Invalid("the sealer is NULL");
  return Pushed(*s, src, len, dst, dst_len, written, false, false);
}

int quorin_sealer_finish(quorin_sealer* s, uint8_t* dst, size_t dst_len, size_t* written) {
  if (s == nullptr) return Invalid("the sealer is NULL");
  return Pushed(*s, nullptr, 0, dst, dst_len, written, true, false);
}

void quorin_sealer_free(quorin_sealer* s) {
  delete s;
}

int quorin_opener_new(const quorin_secrets* s, const quorin_open_options* options,
                      quorin_opener** opener) {
  if (s == nullptr || opener == nullptr)
    return Invalid("the secrets or the opener's place is NULL");
  return SealGuarded([&]() -> int {
    *opener = new quorin_opener(*s, options);
    return QUORIN_OK;
  });
}

size_t quorin_opener_room(const quorin_opener* o, size_t len) {
  return o == nullptr ? 0 : o->pushed.MostOutput(len);
}

int quorin_opener_update(quorin_opener* o, const uint8_t* src, size_t len, uint8_t* dst,
                         size_t dst_len, size_t* written) {
  if (o == nullptr) return Invalid("the opener is NULL");
  return Pushed(*o, src, len, dst, dst_len, written, false, true);
}

int quorin_opener_finish(quorin_opener* o, uint8_t* dst, size_t dst_len, size_t* written) {
  if (o == nullptr) return Invalid("the opener is NULL");
  return Pushed(*o, nullptr, 0, dst, dst_len, written, true, true);
}

int quorin_opener_info(const quorin_opener* o, quorin_sealed_info* info) {
  if (o == nullptr || info == nullptr) return Invalid("the opener or info is NULL");
  if (!o->pushed.HasHeader()) return Invalid("the header has not been read yet");
  Describe(o->pushed.Header(), info);
  return QUORIN_OK;
}

void quorin_opener_free(quorin_opener* o) {
  delete o;
}

int quorin_sealed_header_size(const uint8_t* sealed, size_t len, size_t* header_len) {
  if ((sealed == nullptr && len != 0) || header_len == nullptr)
    return Invalid("sealed or header_len is NULL");
  return SealGuarded([&]() -> int {
    *header_len = seal::HeaderBytes({sealed, len});
    return QUORIN_OK;
  });
}

int quorin_sealer_chunk_keys(const quorin_sealer* s, uint8_t* keys, size_t keys_len,
                             size_t* chunk_len) {
  if (s == nullptr) return Invalid("the sealer is NULL");
  return ChunkKeys(*s, keys, keys_len, chunk_len);
}

int quorin_sealer_skip(quorin_sealer* s, uint64_t chunks) {
  if (s == nullptr) return Invalid("the sealer is NULL");
  return Skip(*s, chunks);
}

int quorin_opener_chunk_keys(const quorin_opener* o, uint8_t* keys, size_t keys_len,
                             size_t* stored_chunk_len) {
  if (o == nullptr) return Invalid("the opener is NULL");
  return ChunkKeys(*o, keys, keys_len, stored_chunk_len);
}

int quorin_opener_skip(quorin_opener* o, uint64_t chunks) {
  if (o == nullptr) return Invalid("the opener is NULL");
  return Skip(*o, chunks);
}

int quorin_seal_chunks(const uint8_t* keys, size_t keys_len, uint64_t first, const uint8_t* src,
                       size_t len, uint8_t* dst, size_t dst_len) {
  return Chunks(true, keys, keys_len, first, src, len, dst, dst_len);
}

int quorin_open_chunks(const uint8_t* keys, size_t keys_len, uint64_t first, const uint8_t* src,
                       size_t len, uint8_t* dst, size_t dst_len) {
  return Chunks(false, keys, keys_len, first, src, len, dst, dst_len);
}

}  // extern "C"
