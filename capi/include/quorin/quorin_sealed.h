/* quorin_sealed.h: sealed files from C. Include <quorin/quorin.h>, which
 * includes this; present when the library was built with sealed files
 * (with libsodium; libcrypto is used where the build finds it, for speed
 * only), as Debian's is.
 *
 * A sealed file is RC6 under a random file key, opened by any one of its
 * recipients (a passphrase, a key file, or an X25519 public key whose
 * identity opens it), with an authenticated header and a tag on every
 * chunk: a wrong secret or an altered file is refused before any of its
 * plaintext is released. The format is docs/sealed-format.md; versions 1
 * and 2 open, version 2 is written unless asked otherwise.
 *
 *   quorin_secrets* s = quorin_secrets_new();
 *   quorin_secrets_add_passphrase(s, (const uint8_t*)"correct horse", 13);
 *   quorin_seal_file(s, NULL, "notes.txt", "notes.txt.qsl");
 *   quorin_open_file(s, NULL, "notes.txt.qsl", "notes-copy.txt");
 *   quorin_secrets_free(s);
 *
 * Three forms are enough for new code: between paths (quorin_seal_file),
 * between buffers (quorin_seal_buffer) and pushed on the caller's thread
 * (quorin_sealer_*, quorin_opener_*). The callback, writer and reader
 * forms stay for the programs that use them.
 *
 * The conventions are those of quorin.h (status codes, the thread's last
 * error, the size query for caller buffers), and:
 * - Options are plain structs: fill one with quorin_seal_options_default
 *   (or quorin_open_options_default) and change what you need; NULL means
 *   the defaults. The structs keep their layout for this soname. A program
 *   that must not depend on it (another language's binding, or one that
 *   wants options added later) makes them with quorin_seal_options_new and
 *   sets them by name: later options come as new names, not new fields.
 * - Callbacks: a read function fills up to len bytes and returns how many
 *   (0 at the end, -1 for a failure); a write function takes all len bytes
 *   and returns 0 (anything else is a failure). A failure gives
 *   QUORIN_CALLBACK_FAILED and stops the call; the library's own message
 *   is in quorin_last_error(), the cause is the caller's to keep. Callbacks
 *   run on the library's worker threads, one at a time and in order, while
 *   the call that started them waits; they must not call back into the
 *   same object. Freeing a writer or reader waits for a callback under way
 *   to return: a read function must return (with data, 0 or -1) in time.
 * - Every opening form takes the binary file and its armour (the text
 *   quorin seal -a writes) alike, telling them apart itself.
 * - Failures of the format have codes of their own: QUORIN_NOT_SEALED,
 *   QUORIN_BAD_ARMOUR (armoured text cut short or altered),
 *   QUORIN_UNSUPPORTED_VERSION, QUORIN_BAD_HEADER, QUORIN_COST_LIMIT,
 *   QUORIN_AUTHENTICATION (a wrong secret, or an altered file: the tag
 *   cannot tell which), QUORIN_TRUNCATED, QUORIN_SECRET_KIND.
 */
#ifndef QUORIN_QUORIN_SEALED_H
#define QUORIN_QUORIN_SEALED_H

#include "quorin/quorin_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The secrets a file is sealed to or opened with: at most one passphrase,
 * any number of key files, identities and (for sealing) recipients. Each is
 * copied into locked memory, wiped when the set is freed; the caller wipes
 * its own copy. A set is used by one thread at a time, but may be shared by
 * calls that only read it once it is filled. */
typedef struct quorin_secrets quorin_secrets;

/* The limits every surface keeps: key files of 16 to 1024 bytes, and
 * passphrases of 1 to 1024 bytes when sealing (longer ones still open
 * files sealed before the limit). */
#define QUORIN_KEY_FILE_MIN 16
#define QUORIN_KEY_FILE_MAX 1024
#define QUORIN_PASSPHRASE_MAX 1024

/* The kinds of secret, as bits of quorin_sealed_info.kinds. */
enum { QUORIN_SECRET_PASSPHRASE = 1, QUORIN_SECRET_KEY_FILE = 2, QUORIN_SECRET_IDENTITY = 4 };

/* NULL when memory is short. */
QUORIN_C_API quorin_secrets* quorin_secrets_new(void);
/* Wipes and frees the set; NULL is ignored. */
QUORIN_C_API void quorin_secrets_free(quorin_secrets* s);
/* A passphrase's bytes as they are (UTF-8 expected; nothing is normalised).
 * An empty one, or a second, gives QUORIN_INVALID_ARGUMENT. */
QUORIN_C_API int quorin_secrets_add_passphrase(quorin_secrets* s, const uint8_t* passphrase,
                                               size_t len);
/* The bytes of a key file: 16 to 1024 (quorin_keygen writes 32). */
QUORIN_C_API int quorin_secrets_add_key_file(quorin_secrets* s, const uint8_t* bytes, size_t len);
/* An identity in its printed form, "QUORIN-IDENTITY-1...": it opens files
 * sealed to its recipient, and sealing with it seals to that recipient. A
 * mistyped character is refused (QUORIN_INVALID_ARGUMENT, saying what). */
QUORIN_C_API int quorin_secrets_add_identity(quorin_secrets* s, const char* text, size_t len);
/* A recipient, "quorin1...": sealing only (whoever holds its identity opens). */
QUORIN_C_API int quorin_secrets_add_recipient(quorin_secrets* s, const char* text, size_t len);
/* Every identity, or every recipient, in the text of an identity or
 * recipients file: one a line, blank lines and lines starting with '#'
 * skipped. Nothing is added unless every line parses; the message in
 * quorin_last_error() names the line (and never repeats an identity). */
QUORIN_C_API int quorin_secrets_add_identities(quorin_secrets* s, const char* text, size_t len);
QUORIN_C_API int quorin_secrets_add_recipients(quorin_secrets* s, const char* text, size_t len);

/* A new identity from the system's random source, in its printed form
 * (NUL-terminated; the size query applies). It is secret: wipe the buffer. */
QUORIN_C_API int quorin_identity_new(char* dst, size_t* dst_len);
/* The recipient of an identity, "quorin1..." (NUL-terminated). */
QUORIN_C_API int quorin_identity_recipient(const char* identity, size_t identity_len, char* dst,
                                           size_t* dst_len);
/* Writes a new key file of 32 random bytes at path, mode 0600, which
 * appears only once complete; anything already there is refused
 * (QUORIN_IO_ERROR). */
QUORIN_C_API int quorin_keygen(const char* path);

typedef struct quorin_seal_options {
  quorin_mode mode;         /* QUORIN_CBC (the default), QUORIN_CFB or QUORIN_OFB */
  quorin_key_size key_size; /* in bits: QUORIN_KEY_256 by default */
  uint32_t passes;          /* Argon2id for a passphrase: 3 passes ... */
  uint64_t memory_bytes;    /* ... over 256 MiB by default (1..4 passes, 8 KiB..1 GiB) */
  int format_version;       /* 2 (the default), or 1 for older readers: one secret */
  int replace_output;       /* quorin_seal_file: replace an existing output (0: refuse) */
  int armour;               /* 1: write the text form (base64 between BEGIN and END lines) */
} quorin_seal_options;

typedef struct quorin_open_options {
  /* A header asking for more passphrase work is refused (QUORIN_COST_LIMIT)
   * before anything is allocated for it; by default 4 passes and 1 GiB. */
  uint32_t max_passes;
  uint64_t max_memory_bytes;
  int replace_output; /* quorin_open_file: replace an existing output (0: refuse) */
} quorin_open_options;

QUORIN_C_API void quorin_seal_options_default(quorin_seal_options* options);
QUORIN_C_API void quorin_open_options_default(quorin_open_options* options);

/* The options by name. quorin_seal_options_new and quorin_open_options_new
 * give options of the library's own size with the defaults (NULL when
 * memory is short), freed with quorin_options_free (which takes either;
 * NULL is ignored). _set refuses (QUORIN_INVALID_ARGUMENT, naming it) a
 * name the options do not have and a value the option cannot hold:
 * QUORIN_OPTION_MODE a quorin_mode, QUORIN_OPTION_KEY_SIZE 128, 192 or
 * 256, the passes up to UINT32_MAX, REPLACE_OUTPUT and ARMOUR 0 or 1.
 * Whether a cost or a mode suits a sealed file is checked where the options
 * are used, as for the structs. */
typedef QUORIN_ENUM(quorin_option_e){
    QUORIN_OPTION_MODE = 1,            /* sealing */
    QUORIN_OPTION_KEY_SIZE = 2,        /* sealing, in bits */
    QUORIN_OPTION_PASSES = 3,          /* sealing */
    QUORIN_OPTION_MEMORY_BYTES = 4,    /* sealing */
    QUORIN_OPTION_FORMAT_VERSION = 5,  /* sealing */
    QUORIN_OPTION_ARMOUR = 6,          /* sealing */
    QUORIN_OPTION_REPLACE_OUTPUT = 7,  /* both */
    QUORIN_OPTION_MAX_PASSES = 8,      /* opening */
    QUORIN_OPTION_MAX_MEMORY_BYTES = 9 /* opening */
} quorin_option;

QUORIN_C_API quorin_seal_options* quorin_seal_options_new(void);
QUORIN_C_API quorin_open_options* quorin_open_options_new(void);
QUORIN_C_API void quorin_options_free(void* options);
QUORIN_C_API int quorin_seal_options_set(quorin_seal_options* options, quorin_option name,
                                         uint64_t value);
QUORIN_C_API int quorin_seal_options_get(const quorin_seal_options* options, quorin_option name,
                                         uint64_t* value);
QUORIN_C_API int quorin_open_options_set(quorin_open_options* options, quorin_option name,
                                         uint64_t value);
QUORIN_C_API int quorin_open_options_get(const quorin_open_options* options, quorin_option name,
                                         uint64_t* value);

/* What a sealed file's header says, read without a secret. */
typedef struct quorin_sealed_info {
  int version; /* 1 or 2 */
  quorin_mode mode;
  quorin_key_size key_size;
  unsigned kinds;      /* QUORIN_SECRET_* bits: the kinds of secret that open it */
  unsigned recipients; /* how many stanzas the library knows (version 1: one) */
  uint32_t passes;     /* the passphrase's costs, or 0 without a passphrase */
  uint64_t memory_bytes;
  uint32_t chunk_bytes;
} quorin_sealed_info;

/* The header's fields by name, for the same programs: quorin_sealed_info_new
 * gives one (all zero; NULL when memory is short), freed with
 * quorin_options_free. */
typedef QUORIN_ENUM(quorin_info_field_e){
    QUORIN_INFO_VERSION = 1,      QUORIN_INFO_MODE = 2,       QUORIN_INFO_KEY_SIZE = 3,
    QUORIN_INFO_KINDS = 4,        QUORIN_INFO_RECIPIENTS = 5, QUORIN_INFO_PASSES = 6,
    QUORIN_INFO_MEMORY_BYTES = 7, QUORIN_INFO_CHUNK_BYTES = 8} quorin_info_field;
QUORIN_C_API quorin_sealed_info* quorin_sealed_info_new(void);
QUORIN_C_API int quorin_sealed_info_get(const quorin_sealed_info* info, quorin_info_field name,
                                        uint64_t* value);

typedef ptrdiff_t (*quorin_read_fn)(void* context, uint8_t* buffer, size_t len);
typedef int (*quorin_write_fn)(void* context, const uint8_t* data, size_t len);

/* Between files. The output is written to a temporary file in its folder
 * and moved into place only when all of it is sealed, or opened and every
 * tag matched: a failure leaves no output file. New outputs get mode 0600. */
QUORIN_C_API int quorin_seal_file(const quorin_secrets* s, const quorin_seal_options* options,
                                  const char* in_path, const char* out_path);
QUORIN_C_API int quorin_open_file(const quorin_secrets* s, const quorin_open_options* options,
                                  const char* in_path, const char* out_path);

/* Between callbacks: everything read is sealed (or opened) and written.
 * When opening, what was written before a failure came from chunks whose
 * tags matched. */
QUORIN_C_API int quorin_seal_stream(const quorin_secrets* s, const quorin_seal_options* options,
                                    quorin_read_fn read, void* read_context, quorin_write_fn write,
                                    void* write_context);
QUORIN_C_API int quorin_open_stream(const quorin_secrets* s, const quorin_open_options* options,
                                    quorin_read_fn read, void* read_context, quorin_write_fn write,
                                    void* write_context);

/* Between buffers, with the size query: sealing asks for the exact size
 * (known before any passphrase hashing); opening for an upper bound, with
 * the plaintext's length in *dst_len. Nothing is written to dst when
 * opening fails. */
QUORIN_C_API int quorin_seal_buffer(const quorin_secrets* s, const quorin_seal_options* options,
                                    const uint8_t* src, size_t src_len, uint8_t* dst,
                                    size_t* dst_len);
QUORIN_C_API int quorin_open_buffer(const quorin_secrets* s, const quorin_open_options* options,
                                    const uint8_t* src, size_t src_len, uint8_t* dst,
                                    size_t* dst_len);

/* The header alone, from a file, a read callback (which it reads only as
 * far as the header) or a buffer; options (NULL: the defaults) give the
 * cost limits. */
QUORIN_C_API int quorin_sealed_info_file(const char* path, const quorin_open_options* options,
                                         quorin_sealed_info* info);
QUORIN_C_API int quorin_sealed_info_stream(quorin_read_fn read, void* read_context,
                                           const quorin_open_options* options,
                                           quorin_sealed_info* info);
QUORIN_C_API int quorin_sealed_info_buffer(const uint8_t* src, size_t src_len,
                                           const quorin_open_options* options,
                                           quorin_sealed_info* info);

/* Sealing piece by piece, for a caller that produces the data as it goes:
 * each quorin_seal_writer_write passes data on (memory stays at a few MiB
 * whatever the length), quorin_seal_writer_finish writes the final chunk.
 * Freeing a writer that was not finished abandons it: the output stops
 * without its final chunk and will not open (QUORIN_TRUNCATED), so a
 * failure half-way never passes for a complete file. After a failure
 * every later call returns the same status. */
typedef struct quorin_seal_writer quorin_seal_writer;
QUORIN_C_API int quorin_seal_writer_new(const quorin_secrets* s, const quorin_seal_options* options,
                                        quorin_write_fn write, void* write_context,
                                        quorin_seal_writer** writer);
/* The same to a file descriptor, written directly from its position; the
 * caller keeps it open until the writer is freed, and closes it. Freeing
 * the writer returns also while the descriptor takes nothing (a pipe whose
 * reader has stopped reading). */
QUORIN_C_API int quorin_seal_writer_new_fd(const quorin_secrets* s,
                                           const quorin_seal_options* options, int fd,
                                           quorin_seal_writer** writer);
QUORIN_C_API int quorin_seal_writer_write(quorin_seal_writer* w, const uint8_t* data, size_t len);
QUORIN_C_API int quorin_seal_writer_finish(quorin_seal_writer* w);
QUORIN_C_API void quorin_seal_writer_free(quorin_seal_writer* w);

/* Opening piece by piece, for a caller that consumes the plaintext as it
 * goes: quorin_open_reader_new reads and checks the header (its failures
 * come from here), then each quorin_open_reader_read gives up to len bytes
 * of chunks whose tags matched, *got 0 at the end. A failure (a bad chunk)
 * is reported once the verified bytes before it have been read. Freeing a
 * reader before the end stops reading. The secrets are copied: the set may
 * be freed once the reader exists. */
typedef struct quorin_open_reader quorin_open_reader;
QUORIN_C_API int quorin_open_reader_new(const quorin_secrets* s, const quorin_open_options* options,
                                        quorin_read_fn read, void* read_context,
                                        quorin_open_reader** reader);
/* The same from a file descriptor, read directly from its position.
 * Freeing the reader returns also while the descriptor has nothing to read
 * (a pipe whose writer stays open). */
QUORIN_C_API int quorin_open_reader_new_fd(const quorin_secrets* s,
                                           const quorin_open_options* options, int fd,
                                           quorin_open_reader** reader);
QUORIN_C_API int quorin_open_reader_info(const quorin_open_reader* r, quorin_sealed_info* info);
QUORIN_C_API int quorin_open_reader_read(quorin_open_reader* r, uint8_t* dst, size_t len,
                                         size_t* got);
/* Stops a reader without waiting: its thread calls the read function no
 * more (a call under way is let return) and ends; reads then fail with
 * QUORIN_INVALID_ARGUMENT, whatever was left unread. For a
 * runtime about to end while a reader is open (an interpreter exiting),
 * whose thread must not call into it afterwards. The reader is freed as
 * any other, or left to the end of the process. */
QUORIN_C_API void quorin_open_reader_stop(quorin_open_reader* r);
QUORIN_C_API void quorin_open_reader_free(quorin_open_reader* r);

/* Sealing and opening pushed bytes, on the caller's thread: for an event
 * loop that must not block on a read (WebAssembly in a browser, a network
 * server), and the engine under every other form. A call given 2 MiB or
 * more splits the work with a second core where the process may use one
 * (a helper thread the object keeps, ended by _free); smaller calls run on
 * the caller's thread alone. Memory stays at one chunk beyond what a call
 * is given.
 * Each _update and _finish writes into dst, which holds at least
 * quorin_sealer_room(s, len) (or quorin_opener_room) bytes, len being 0
 * for _finish, and sets *written. The sealer writes the header with its
 * first output and seals in format version 2; the opener opens both
 * versions, checks the header (and hashes a passphrase) in the call that
 * completes it, and writes only plaintext whose tags matched. After a
 * failure every later call returns the same status; when an _update or
 * _finish of the opener fails, dst is wiped; after a successful _finish,
 * further calls give QUORIN_INVALID_ARGUMENT. A length whose room would
 * pass SIZE_MAX gives SIZE_MAX, which no buffer holds: the call then gives
 * QUORIN_INVALID_ARGUMENT. The secrets are copied. */
typedef struct quorin_sealer quorin_sealer;
QUORIN_C_API int quorin_sealer_new(const quorin_secrets* s, const quorin_seal_options* options,
                                   quorin_sealer** sealer);
QUORIN_C_API size_t quorin_sealer_room(const quorin_sealer* s, size_t len);
QUORIN_C_API int quorin_sealer_update(quorin_sealer* s, const uint8_t* src, size_t len,
                                      uint8_t* dst, size_t dst_len, size_t* written);
QUORIN_C_API int quorin_sealer_finish(quorin_sealer* s, uint8_t* dst, size_t dst_len,
                                      size_t* written);
QUORIN_C_API void quorin_sealer_free(quorin_sealer* s);

typedef struct quorin_opener quorin_opener;
QUORIN_C_API int quorin_opener_new(const quorin_secrets* s, const quorin_open_options* options,
                                   quorin_opener** opener);
QUORIN_C_API size_t quorin_opener_room(const quorin_opener* o, size_t len);
QUORIN_C_API int quorin_opener_update(quorin_opener* o, const uint8_t* src, size_t len,
                                      uint8_t* dst, size_t dst_len, size_t* written);
QUORIN_C_API int quorin_opener_finish(quorin_opener* o, uint8_t* dst, size_t dst_len,
                                      size_t* written);
/* QUORIN_INVALID_ARGUMENT until the header has been read. */
QUORIN_C_API int quorin_opener_info(const quorin_opener* o, quorin_sealed_info* info);
QUORIN_C_API void quorin_opener_free(quorin_opener* o);

/* One file's chunks on several threads that share no memory (WebAssembly
 * workers; a native program needs none of this, the calls above use a
 * second core themselves). A binary version-2 sealer whose header was
 * written (its first _update, which may be of 0 bytes) and which holds no
 * partial chunk, or an opener given exactly the header (its length from
 * quorin_sealed_header_size), copies out the file's chunk keys with
 * _chunk_keys: QUORIN_CHUNK_KEYS_BYTES secret bytes (wipe every copy), and
 * the length of a chunk (the sealer: its plaintext; the opener: its stored
 * form, ciphertext and tag). Any thread then seals whole chunks with
 * quorin_seal_chunks, or checks and opens whole stored chunks with
 * quorin_open_chunks, numbered from `first` (the first after the header is
 * 0); neither may be given the file's last chunk. _skip then tells the
 * sealer or opener how many chunks came next, and its _update and _finish
 * go on with the rest. The output is byte for byte what the sealer alone
 * writes; a chunk whose tag differs gives what opening it would give, and
 * quorin_open_chunks then wipes dst. Other states give
 * QUORIN_INVALID_ARGUMENT. */
#define QUORIN_CHUNK_KEYS_BYTES 148
/* Sets *header_len to the length of the header at the start of sealed
 * (binary, either version), or to 0 when more bytes are needed to tell. */
QUORIN_C_API int quorin_sealed_header_size(const uint8_t* sealed, size_t len, size_t* header_len);
QUORIN_C_API int quorin_sealer_chunk_keys(const quorin_sealer* s, uint8_t* keys, size_t keys_len,
                                          size_t* chunk_len);
QUORIN_C_API int quorin_sealer_skip(quorin_sealer* s, uint64_t chunks);
QUORIN_C_API int quorin_opener_chunk_keys(const quorin_opener* o, uint8_t* keys, size_t keys_len,
                                          size_t* stored_chunk_len);
QUORIN_C_API int quorin_opener_skip(quorin_opener* o, uint64_t chunks);
/* src: a whole number of chunks; dst: room for as many stored chunks. */
QUORIN_C_API int quorin_seal_chunks(const uint8_t* keys, size_t keys_len, uint64_t first,
                                    const uint8_t* src, size_t len, uint8_t* dst, size_t dst_len);
/* src: a whole number of stored chunks; dst: room for their plaintext. */
QUORIN_C_API int quorin_open_chunks(const uint8_t* keys, size_t keys_len, uint64_t first,
                                    const uint8_t* src, size_t len, uint8_t* dst, size_t dst_len);

#ifdef __cplusplus
}
#endif

#endif /* QUORIN_QUORIN_SEALED_H */
