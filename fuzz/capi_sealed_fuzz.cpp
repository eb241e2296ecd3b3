// Fuzzes the C interface's sealed functions: secrets from the input (some
// of them printed keys), buffers sealed and opened with sizes near SIZE_MAX
// among them, pushed sealing and opening in pieces the input chooses (and
// calls after finishing), and opening bytes the input makes up. Every
// status is a named one, a size query is never less than what the call
// then writes, and whatever was sealed opens to what went in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "quorin/quorin.h"

namespace {

void Named(int status) {
  if (std::strcmp(quorin_status_name(status), "QUORIN_UNKNOWN_STATUS") == 0) std::abort();
}

void Require(bool ok) {
  if (!ok) std::abort();
}

quorin_secrets* SecretsFrom(FuzzInput& in) {
  quorin_secrets* s = quorin_secrets_new();
  const std::uint8_t kinds = in.Byte();
  if (kinds & 1) {
    const auto p = in.Bytes(in.Size(40));
    Named(quorin_secrets_add_passphrase(s, p.data(), p.size()));
  }
  if (kinds & 2) {
    // Bytes, or a recipient's printed form, which is refused as a key file.
    auto k = in.Bytes(in.Size(64));
    if (kinds & 8) {
      char identity[128], recipient[128];
      std::size_t n = sizeof identity, m = sizeof recipient;
      Require(quorin_identity_new(identity, &n) == QUORIN_OK);
      Require(quorin_identity_recipient(identity, n, recipient, &m) == QUORIN_OK);
      k.assign(recipient, recipient + m);
      Require(quorin_secrets_add_key_file(s, k.data(), k.size()) == QUORIN_INVALID_ARGUMENT);
    }
    Named(quorin_secrets_add_key_file(s, k.data(), k.size()));
  }
  if (kinds & 4) {
    char identity[128];
    std::size_t n = sizeof identity;
    Require(quorin_identity_new(identity, &n) == QUORIN_OK);
    Named(quorin_secrets_add_identity(s, identity, n));
  }
  return s;
}

quorin_seal_options Options(FuzzInput& in) {
  quorin_seal_options o;
  quorin_seal_options_default(&o);
  o.mode = static_cast<quorin_mode>(in.Byte() % 5);  // ECB and one past OFB are refused
  o.key_size = static_cast<quorin_key_size>(in.Byte() % 4);
  o.passes = 1;
  o.memory_bytes = 8192;  // the least: the fuzzer is after the interface, not Argon2id
  o.format_version = 1 + in.Byte() % 3;
  return o;
}

// Pushes src through a sealer or an opener in pieces, checking the room
// each call asks for; appends the output. The first failing status.
template <class Object, class Room, class Update, class Finish>
int Push(FuzzInput& in, Object* o, Room room, Update update, Finish finish,
         const std::vector<std::uint8_t>& src, std::vector<std::uint8_t>& out) {
  for (std::size_t at = 0;;) {
    const std::size_t probe = in.Length();
    const std::size_t asked = room(o, probe);
    Require(asked == SIZE_MAX || asked >= probe);
    const bool last = at == src.size();
    const std::size_t n = last ? 0 : std::min(src.size() - at, 1 + in.Size(70000));
    const std::size_t need = room(o, n);
    Require(need < SIZE_MAX);
    std::vector<std::uint8_t> buffer(need + 1, 0xA5);
    std::size_t written = 0;
    const int status = last ? finish(o, buffer.data(), need, &written)
                            : update(o, src.data() + at, n, buffer.data(), need, &written);
    Named(status);
    Require(written <= need && buffer[need] == 0xA5);
    if (status != QUORIN_OK) return status;
    out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(written));
    if (last) {
      std::uint8_t byte = 0;  // nothing more after the end
      Require(update(o, &byte, 1, buffer.data(), need, &written) == QUORIN_INVALID_ARGUMENT);
      return QUORIN_OK;
    }
    at += n;
  }
}

}  // namespace

// Every run frees buffers of a few MiB (a batch of chunks, the sealed
// bytes): ASan's default quarantine of them would pass libFuzzer's memory
// limit by itself.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  // A made-up header may ask for any passphrase work: no more than sealing used.
  quorin_open_options limits;
  quorin_open_options_default(&limits);
  limits.max_passes = 1;
  limits.max_memory_bytes = 8192;
  quorin_secrets* s = SecretsFrom(in);
  const quorin_seal_options options = Options(in);
  const auto plain = in.Bytes(in.Size(3000) * (in.Byte() % 4 == 0 ? 70 : 1));
  // The size query of a length no buffer holds is refused, or says so.
  std::size_t needed = 0;
  const std::uint8_t one = 0;
  const int huge = quorin_seal_buffer(s, &options, &one, in.Length(), nullptr, &needed);
  Named(huge);
  Require(huge != QUORIN_OK || needed < SIZE_MAX / 2);
  // Buffers: sealed, then opened to the same bytes.
  std::vector<std::uint8_t> sealed;
  int status = quorin_seal_buffer(s, &options, plain.data(), plain.size(), nullptr, &needed);
  Named(status);
  if (status == QUORIN_OK) {
    sealed.resize(needed);
    std::size_t len = needed;
    Require(quorin_seal_buffer(s, &options, plain.data(), plain.size(), sealed.data(), &len) ==
            QUORIN_OK);
    Require(len == needed);
    std::vector<std::uint8_t> opened(sealed.size());
    len = opened.size();
    status = quorin_open_buffer(s, &limits, sealed.data(), sealed.size(), opened.data(), &len);
    Named(status);
    if (status == QUORIN_OK)
      Require(len == plain.size() &&
              (len == 0 || std::memcmp(opened.data(), plain.data(), len) == 0));
  }
  // Pushed: sealed, then opened, in the input's pieces.
  quorin_sealer* sealer = nullptr;
  status = quorin_sealer_new(s, &options, &sealer);
  Named(status);
  std::vector<std::uint8_t> pushed, back;
  if (status == QUORIN_OK) {
    status = Push(in, sealer, quorin_sealer_room, quorin_sealer_update, quorin_sealer_finish, plain,
                  pushed);
    quorin_sealer_free(sealer);
  }
  // Made-up bytes after the pushed ones, or instead of them, or a bit flipped.
  const std::uint8_t change = in.Byte() % 4;
  if (change == 1 || status != QUORIN_OK) pushed = in.Bytes(in.Size(400));
  if (change == 2 && !pushed.empty()) pushed[in.Size(pushed.size() - 1)] ^= 1 + in.Byte() % 255;
  quorin_opener* opener = nullptr;
  Require(quorin_opener_new(s, &limits, &opener) == QUORIN_OK);
  const int opened = Push(in, opener, quorin_opener_room, quorin_opener_update,
                          quorin_opener_finish, pushed, back);
  quorin_opener_free(opener);
  if (status == QUORIN_OK && change == 0) Require(opened == QUORIN_OK && back == plain);
  quorin_sealed_info info;
  Named(quorin_sealed_info_buffer(pushed.data(), pushed.size(), &limits, &info));
  quorin_secrets_free(s);
  return 0;
}
