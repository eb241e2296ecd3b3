// The C interface to sealed files: secrets in locked memory, sealing and
// opening between files, callbacks and buffers, the header without a
// secret, and writers and readers that run piece by piece while a thread of
// their own seals or opens.
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "BytePipe.h"
#include "CallerStreams.h"
#include "DescriptorStream.h"
#include "Pump.h"
#include "SealedCommon.h"
#include "Status.h"
#include "quorin/framework/Exceptions.h"
#include "quorin/framework/FileStream.h"
#include "quorin/platform/Threads.h"
#include "quorin/platform/Wipe.h"
#include "quorin/quorin_sealed.h"
#include "quorin/seal/Incremental.h"
#include "quorin/seal/Seal.h"

using namespace quorin_capi;
namespace seal = quorin::seal;

namespace {

// What the plaintext pipe of a writer or reader holds at most.
constexpr std::size_t kPipeBytes = std::size_t{4} << 20;

std::unique_ptr<quorin_secrets> CopyOf(const quorin_secrets& s) {
  auto copy = std::make_unique<quorin_secrets>();
  for (const seal::Secret& secret : s.secrets) copy->secrets.push_back(secret.Copy());
  copy->recipients = s.recipients;
  return copy;
}

std::string_view Text(const char* text, std::size_t len) {
  return len == QUORIN_NUL_TERMINATED ? std::string_view(text) : std::string_view(text, len);
}

// A NUL-terminated string into dst, with the size query; wipes the string.
int DeliverText(std::string& text, char* dst, std::size_t* dst_len) {
  bool query = false;
  int status = Room(dst, dst_len, text.size() + 1, query);
  if (status == QUORIN_OK && !query) {
    std::memcpy(dst, text.c_str(), text.size() + 1);
    *dst_len = text.size();
  }
  quorin::platform::Wipe(text.data(), text.size());
  return status;
}

int Add(quorin_secrets* s, const void* data, std::size_t len,
        void (*add)(quorin_secrets&, const void*, std::size_t)) {
  if (s == nullptr || (data == nullptr && len != 0))
    return Invalid("the set or the bytes are NULL");
  return SealGuarded([&]() -> int {
    add(*s, data, len);
    return QUORIN_OK;
  });
}

}  // namespace

// The thread that seals what the caller writes: it reads from the pipe and
// writes to the output (the caller's function or file descriptor).
struct quorin_seal_writer {
  quorin_seal_writer(const quorin_secrets& s, seal::SealOptions o,
                     std::unique_ptr<framework::TStream> out)
      : secrets(CopyOf(s)),
        options(std::move(o)),
        sink(std::move(out)),
        descriptor(dynamic_cast<DescriptorStream*>(sink.get())),
        pipe(kPipeBytes) {
    worker = quorin::platform::StartQuietThread([this] {
      try {
        PipeSource source(pipe);
        if (options.formatVersion == 1) {  // older readers' format, which is not pushed
          seal::SealStream(source, *sink, secrets->Pointers(), options);
        } else {
          seal::IncrementalSealer sealer(secrets->Pointers(), options);
          Pump(source, *sink, sealer);
        }
        outcome = {QUORIN_OK, {}};
      } catch (...) {
        pipe.Stop();
        quorin::platform::RethrowIfThreadEnding();
        outcome = SealFailure();
      }
      pipe.Stop();  // a caller waiting for room learns that sealing ended
    });
  }
  ~quorin_seal_writer() {
    pipe.Stop();
    if (descriptor != nullptr) descriptor->Stop();
    if (worker.joinable()) worker.join();
  }
  // Waits for the thread; its outcome is then safe to read.
  int Ended() {
    if (worker.joinable()) worker.join();
    return Fail(outcome);
  }

  std::unique_ptr<quorin_secrets> secrets;
  seal::SealOptions options;
  std::unique_ptr<framework::TStream> sink;
  DescriptorStream* descriptor;  // the sink, when it can be stopped
  BytePipe pipe;
  Failure outcome{QUORIN_OK, {}};
  std::thread worker;
  bool finished = false;
};

// The thread that opens for the caller: it reads the input (through the
// caller's function or file descriptor) and puts verified plaintext in the
// pipe, which the caller reads. The header is read first, on the caller's
// thread, so that its failures come from _new.
struct quorin_open_reader {
  quorin_open_reader(const quorin_secrets& s, const seal::OpenOptions& o,
                     std::unique_ptr<framework::TStream> in)
      : secrets(CopyOf(s)),
        source(std::move(in)),
        descriptor(dynamic_cast<DescriptorStream*>(source.get())),
        function(dynamic_cast<CallbackSource*>(source.get())),
        opener(secrets->Pointers(), o),
        pipe(kPipeBytes) {
    ReadHeader();
  }
  // Pushes the input in small pieces until the header is read (or the input
  // ends); plaintext that comes with it waits for the thread.
  void ReadHeader() {
    std::uint8_t piece[4096];
    while (!opener.HasHeader()) {
      const std::int32_t n = source->Read(piece, sizeof piece);
      std::vector<std::uint8_t> out(opener.MostOutput(static_cast<std::size_t>(n)));
      const std::size_t got =
          n > 0 ? opener.Update({piece, static_cast<std::size_t>(n)}, out) : opener.Finish(out);
      first.insert(first.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(got));
      quorin::platform::Wipe(out.data(), out.size());
      if (n <= 0) {
        ended = true;
        return;
      }
    }
  }
  void Start() {
    worker = quorin::platform::StartQuietThread([this] {
      try {
        PipeSink sink(pipe);
        if (!first.empty()) sink.Write(first.data(), static_cast<std::int32_t>(first.size()));
        quorin::platform::Wipe(first.data(), first.size());
        if (!ended) Pump(*source, sink, opener);
        outcome = {QUORIN_OK, {}};
      } catch (...) {
        pipe.Close();
        quorin::platform::RethrowIfThreadEnding();
        outcome = SealFailure();
      }
      pipe.Close();  // the caller takes what is left, then the outcome
    });
  }
  ~quorin_open_reader() {
    Stop();
    if (worker.joinable()) worker.join();
    quorin::platform::Wipe(first.data(), first.size());
  }
  // The thread reads no more: it ends once a read under way returns.
  void Stop() noexcept {
    pipe.Stop();
    if (descriptor != nullptr) descriptor->Stop();
    if (function != nullptr) function->Stop();
  }

  std::unique_ptr<quorin_secrets> secrets;
  std::unique_ptr<framework::TStream> source;
  DescriptorStream* descriptor;  // the source, when it is a descriptor
  CallbackSource* function;      // the source, when it is the caller's function
  seal::IncrementalOpener opener;
  std::vector<std::uint8_t> first;  // plaintext that came with the header
  bool ended = false;               // the input ended with the header
  BytePipe pipe;
  Failure outcome{QUORIN_OK, {}};
  std::thread worker;
};

extern "C" {

quorin_secrets* quorin_secrets_new(void) {
  try {
    return new quorin_secrets;
  } catch (...) {
    Fail(QUORIN_NO_MEMORY);
    return nullptr;
  }
}

void quorin_secrets_free(quorin_secrets* s) {
  delete s;  // each Secret wipes its own memory
}

int quorin_secrets_add_passphrase(quorin_secrets* s, const uint8_t* passphrase, size_t len) {
  return Add(s, passphrase, len, [](quorin_secrets& set, const void* p, std::size_t n) {
    for (const seal::Secret& k : set.secrets)
      if (k.Kind() == seal::SecretKind::Passphrase)
        throw std::invalid_argument("a file is sealed for one passphrase at most");
    set.secrets.push_back(seal::Secret::Passphrase({static_cast<const char*>(p), n}));
  });
}

int quorin_secrets_add_key_file(quorin_secrets* s, const uint8_t* bytes, size_t len) {
  return Add(s, bytes, len, [](quorin_secrets& set, const void* p, std::size_t n) {
    set.secrets.push_back(seal::Secret::KeyFileBytes({static_cast<const std::uint8_t*>(p), n}));
  });
}

int quorin_secrets_add_identity(quorin_secrets* s, const char* text, size_t len) {
  if (text == nullptr) return Invalid("the identity is NULL");
  return Add(s, text, len, [](quorin_secrets& set, const void* p, std::size_t n) {
    set.secrets.push_back(seal::Secret::ParseIdentity(Text(static_cast<const char*>(p), n)));
  });
}

int quorin_secrets_add_recipient(quorin_secrets* s, const char* text, size_t len) {
  if (text == nullptr) return Invalid("the recipient is NULL");
  return Add(s, text, len, [](quorin_secrets& set, const void* p, std::size_t n) {
    set.recipients.push_back(seal::Recipient::Parse(Text(static_cast<const char*>(p), n)));
  });
}

int quorin_secrets_add_identities(quorin_secrets* s, const char* text, size_t len) {
  if (text == nullptr) return Invalid("the identity file's text is NULL");
  return Add(s, text, len, [](quorin_secrets& set, const void* p, std::size_t n) {
    std::vector<seal::Secret> ids =
        seal::ParseIdentities(Text(static_cast<const char*>(p), n), "the identity file");
    for (seal::Secret& id : ids) set.secrets.push_back(std::move(id));
  });
}

int quorin_secrets_add_recipients(quorin_secrets* s, const char* text, size_t len) {
  if (text == nullptr) return Invalid("the recipients file's text is NULL");
  return Add(s, text, len, [](quorin_secrets& set, const void* p, std::size_t n) {
    const std::vector<seal::Recipient> all =
        seal::ParseRecipients(Text(static_cast<const char*>(p), n), "the recipients file");
    set.recipients.insert(set.recipients.end(), all.begin(), all.end());
  });
}

int quorin_identity_new(char* dst, size_t* dst_len) {
  if (dst_len == nullptr) return Invalid("dst_len is NULL");
  return SealGuarded([&]() -> int {
    std::string text = seal::Secret::NewIdentity().IdentityString();
    return DeliverText(text, dst, dst_len);
  });
}

int quorin_identity_recipient(const char* identity, size_t identity_len, char* dst,
                              size_t* dst_len) {
  if (identity == nullptr || dst_len == nullptr) return Invalid("the identity or dst_len is NULL");
  return SealGuarded([&]() -> int {
    std::string text =
        seal::Recipient::Of(seal::Secret::ParseIdentity(Text(identity, identity_len))).ToString();
    return DeliverText(text, dst, dst_len);
  });
}

int quorin_keygen(const char* path) {
  if (path == nullptr) return Invalid("the path is NULL");
  return SealGuarded([&]() -> int {
    seal::WriteNewKeyFile(path);
    return QUORIN_OK;
  });
}

int quorin_seal_file(const quorin_secrets* s, const quorin_seal_options* options,
                     const char* in_path, const char* out_path) {
  if (s == nullptr || in_path == nullptr || out_path == nullptr)
    return Invalid("the secrets or a path is NULL");
  return SealGuarded([&]() -> int {
    seal::SealFile(in_path, out_path, s->Pointers(), SealOptionsOf(*s, options));
    return QUORIN_OK;
  });
}

int quorin_open_file(const quorin_secrets* s, const quorin_open_options* options,
                     const char* in_path, const char* out_path) {
  if (s == nullptr || in_path == nullptr || out_path == nullptr)
    return Invalid("the secrets or a path is NULL");
  return SealGuarded([&]() -> int {
    seal::OpenFile(in_path, out_path, s->Pointers(), OpenOptionsOf(options));
    return QUORIN_OK;
  });
}

int quorin_seal_stream(const quorin_secrets* s, const quorin_seal_options* options,
                       quorin_read_fn read, void* read_context, quorin_write_fn write,
                       void* write_context) {
  if (s == nullptr || read == nullptr || write == nullptr)
    return Invalid("the secrets or a function is NULL");
  return SealGuarded([&]() -> int {
    const seal::SealOptions o = SealOptionsOf(*s, options);
    CallbackSource source(read, read_context);
    CallbackSink sink(write, write_context);
    if (o.formatVersion == 1) {  // older readers' format, which is not pushed
      seal::SealStream(source, sink, s->Pointers(), o);
      return QUORIN_OK;
    }
    seal::IncrementalSealer sealer(s->Pointers(), o);
    Pump(source, sink, sealer);
    return QUORIN_OK;
  });
}

int quorin_open_stream(const quorin_secrets* s, const quorin_open_options* options,
                       quorin_read_fn read, void* read_context, quorin_write_fn write,
                       void* write_context) {
  if (s == nullptr || read == nullptr || write == nullptr)
    return Invalid("the secrets or a function is NULL");
  return SealGuarded([&]() -> int {
    CallbackSource source(read, read_context);
    CallbackSink sink(write, write_context);
    seal::IncrementalOpener opener(s->Pointers(), OpenOptionsOf(options));
    Pump(source, sink, opener);
    return QUORIN_OK;
  });
}

int quorin_seal_buffer(const quorin_secrets* s, const quorin_seal_options* options,
                       const uint8_t* src, size_t src_len, uint8_t* dst, size_t* dst_len) {
  if (s == nullptr || dst_len == nullptr || (src == nullptr && src_len != 0))
    return Invalid("the secrets, the source or dst_len is NULL");
  return SealGuarded([&]() -> int {
    const seal::SealOptions o = SealOptionsOf(*s, options);
    const std::uint64_t sealed = seal::SealedBytes(src_len, s->Pointers(), o);
    std::optional<std::size_t> needed;
    if (sealed <= std::numeric_limits<std::size_t>::max())
      needed = static_cast<std::size_t>(sealed);
    bool query = false;
    if (int status = Room(dst, dst_len, needed, query); status != QUORIN_OK || query) return status;
    BufferSource source(src, src == nullptr ? 0 : src_len);
    BufferSink sink(dst, *dst_len);
    seal::SealStream(source, sink, s->Pointers(), o);
    *dst_len = sink.Written();
    return QUORIN_OK;
  });
}

int quorin_open_buffer(const quorin_secrets* s, const quorin_open_options* options,
                       const uint8_t* src, size_t src_len, uint8_t* dst, size_t* dst_len) {
  if (s == nullptr || dst_len == nullptr || (src == nullptr && src_len != 0))
    return Invalid("the secrets, the source or dst_len is NULL");
  // The plaintext is always shorter than the sealed file.
  bool query = false;
  if (int status = Room(dst, dst_len, src_len, query); status != QUORIN_OK || query) return status;
  BufferSink sink(dst, *dst_len);
  const int status = SealGuarded([&]() -> int {
    BufferSource source(src, src == nullptr ? 0 : src_len);
    seal::OpenStream(source, sink, s->Pointers(), OpenOptionsOf(options));
    return QUORIN_OK;
  });
  if (status == QUORIN_OK)
    *dst_len = sink.Written();
  else if (sink.Written() > 0)
    quorin::platform::Wipe(dst, sink.Written());  // nothing of a file that failed is left behind
  return status;
}

int quorin_sealed_info_file(const char* path, const quorin_open_options* options,
                            quorin_sealed_info* info) {
  if (path == nullptr || info == nullptr) return Invalid("the path or info is NULL");
  return SealGuarded([&]() -> int {
    framework::TFileStream file(path, framework::fmOpenRead);
    Describe(seal::Opener(file, OpenOptionsOf(options), "'" + std::string(path) + "'").Header(),
             info);
    return QUORIN_OK;
  });
}

int quorin_sealed_info_stream(quorin_read_fn read, void* read_context,
                              const quorin_open_options* options, quorin_sealed_info* info) {
  if (read == nullptr || info == nullptr) return Invalid("the function or info is NULL");
  return SealGuarded([&]() -> int {
    CallbackSource source(read, read_context);
    Describe(seal::Opener(source, OpenOptionsOf(options)).Header(), info);
    return QUORIN_OK;
  });
}

int quorin_sealed_info_buffer(const uint8_t* src, size_t src_len,
                              const quorin_open_options* options, quorin_sealed_info* info) {
  if ((src == nullptr && src_len != 0) || info == nullptr)
    return Invalid("the source or info is NULL");
  return SealGuarded([&]() -> int {
    BufferSource source(src, src == nullptr ? 0 : src_len);
    Describe(seal::Opener(source, OpenOptionsOf(options)).Header(), info);
    return QUORIN_OK;
  });
}

int quorin_seal_writer_new(const quorin_secrets* s, const quorin_seal_options* options,
                           quorin_write_fn write, void* write_context,
                           quorin_seal_writer** writer) {
  if (s == nullptr || write == nullptr || writer == nullptr)
    return Invalid("the secrets, the function or the writer's place is NULL");
  return SealGuarded([&]() -> int {
    *writer = new quorin_seal_writer(*s, SealOptionsOf(*s, options),
                                     std::make_unique<CallbackSink>(write, write_context));
    return QUORIN_OK;
  });
}

int quorin_seal_writer_new_fd(const quorin_secrets* s, const quorin_seal_options* options, int fd,
                              quorin_seal_writer** writer) {
  if (s == nullptr || fd < 0 || writer == nullptr)
    return Invalid("the secrets or the writer's place is NULL, or the descriptor negative");
  return SealGuarded([&]() -> int {
    *writer = new quorin_seal_writer(*s, SealOptionsOf(*s, options),
                                     std::make_unique<DescriptorStream>(fd, "the output"));
    return QUORIN_OK;
  });
}

int quorin_seal_writer_write(quorin_seal_writer* w, const uint8_t* data, size_t len) {
  if (w == nullptr || (data == nullptr && len != 0)) return Invalid("the writer or data is NULL");
  if (w->finished) return Invalid("the writer was finished");
  if (len == 0 || w->pipe.Put(data, len)) return QUORIN_OK;
  // Sealing stopped early: say why.
  const int status = w->Ended();
  return status != QUORIN_OK ? status : Fail(QUORIN_INTERNAL_ERROR, "sealing ended early");
}

int quorin_seal_writer_finish(quorin_seal_writer* w) {
  if (w == nullptr) return Invalid("the writer is NULL");
  if (w->finished) return Invalid("the writer was finished");
  w->finished = true;
  w->pipe.Close();
  return w->Ended();
}

void quorin_seal_writer_free(quorin_seal_writer* w) {
  delete w;  // stops an unfinished writer: its output has no final chunk
}

int quorin_open_reader_new(const quorin_secrets* s, const quorin_open_options* options,
                           quorin_read_fn read, void* read_context, quorin_open_reader** reader) {
  if (s == nullptr || read == nullptr || reader == nullptr)
    return Invalid("the secrets, the function or the reader's place is NULL");
  return SealGuarded([&]() -> int {
    auto r = std::make_unique<quorin_open_reader>(
        *s, OpenOptionsOf(options), std::make_unique<CallbackSource>(read, read_context));
    r->Start();
    *reader = r.release();
    return QUORIN_OK;
  });
}

int quorin_open_reader_new_fd(const quorin_secrets* s, const quorin_open_options* options, int fd,
                              quorin_open_reader** reader) {
  if (s == nullptr || fd < 0 || reader == nullptr)
    return Invalid("the secrets or the reader's place is NULL, or the descriptor negative");
  return SealGuarded([&]() -> int {
    auto r = std::make_unique<quorin_open_reader>(
        *s, OpenOptionsOf(options), std::make_unique<DescriptorStream>(fd, "the input"));
    r->Start();
    *reader = r.release();
    return QUORIN_OK;
  });
}

int quorin_open_reader_info(const quorin_open_reader* r, quorin_sealed_info* info) {
  if (r == nullptr || info == nullptr) return Invalid("the reader or info is NULL");
  return SealGuarded([&]() -> int {
    Describe(r->opener.Header(), info);
    return QUORIN_OK;
  });
}

int quorin_open_reader_read(quorin_open_reader* r, uint8_t* dst, size_t len, size_t* got) {
  if (r == nullptr || got == nullptr || (dst == nullptr && len != 0))
    return Invalid("the reader, dst or got is NULL");
  *got = 0;
  if (r->pipe.Stopped()) return Invalid("the reader was stopped");
  if (len == 0) return QUORIN_OK;
  return SealGuarded([&]() -> int {
    *got = r->pipe.Take(dst, len);
    if (*got > 0) return QUORIN_OK;
    if (r->worker.joinable()) r->worker.join();
    return Fail(r->outcome);
  });
}

void quorin_open_reader_stop(quorin_open_reader* r) {
  if (r != nullptr) r->Stop();
}

void quorin_open_reader_free(quorin_open_reader* r) {
  delete r;
}

}  // extern "C"
