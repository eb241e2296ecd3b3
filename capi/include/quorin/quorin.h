/* quorin.h: the C interface to the TQuorin cipher component (package 1.11).
 *
 * RC6-32/20 in ECB, CBC, CFB or OFB chaining, with count-byte padding, the
 * radix-64 armour and the CBC-MAC, byte for byte as the C++ component.
 * C99 and C++; no C++ types cross this interface and no exception leaves it.
 *
 * Conventions
 * - Every operation returns a status: QUORIN_OK (0), one of the component's
 *   codes (-1 .. -11), one of this interface's own (-20 ..), or a sealed
 *   file's (-30 .., in quorin_sealed.h). On failure,
 *   quorin_last_error() gives a message for the calling thread.
 * - A refused call changes nothing: no state, no output, and *dst_len keeps
 *   its value (but for QUORIN_BUFFER_TOO_SMALL, below).
 * - Outputs of variable size go to a buffer the caller supplies: pass dst as
 *   NULL to learn the size needed in *dst_len (nothing else happens); pass a
 *   buffer with its size in *dst_len to get the result and its length. Too
 *   small a buffer gives QUORIN_BUFFER_TOO_SMALL with the size needed in
 *   *dst_len. An input whose output would be larger than SIZE_MAX gives
 *   QUORIN_INVALID_ARGUMENT. The library never hands out memory for the
 *   caller to free.
 * - Text outputs (armour, hex) are NUL-terminated: the size needed counts the
 *   NUL, the length returned does not. Text inputs take a length, or
 *   QUORIN_NUL_TERMINATED.
 * - The chaining register runs on between calls, as in the component: load
 *   the IV again to start a new message.
 * - A handle is used by one thread at a time, and is not freed while a call
 *   on it runs: the caller serialises the calls (a lock per handle); separate
 *   handles share nothing.
 * - Armour here is the component's: one line of the alphabet, as
 *   quorin_encrypt_string and quorin_encode write it. The framed text that
 *   `quorin encrypt -a` writes (BEGIN and END lines, 64 characters a line)
 *   is read by `quorin decrypt -a` and `quorin decode`; here, as in the
 *   component, every character outside the alphabet (line breaks, the
 *   markers) counts as the value 0, so pass only the lines between the
 *   markers, joined.
 */
#ifndef QUORIN_QUORIN_H
#define QUORIN_QUORIN_H

#include <stddef.h>
#include <stdint.h>

#include "quorin/quorin_base.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct quorin quorin; /* an instance of the component */

typedef QUORIN_ENUM(quorin_string_mode_e){QUORIN_STRING_ENCODE = 0,
                                          QUORIN_STRING_NORMAL = 1} quorin_string_mode;

#define QUORIN_BLOCK_SIZE 16
#define QUORIN_BUFFER_SIZE 4113 /* the work buffer; operations use at most 4112 bytes */

/* A new instance with the component's defaults (ECB, 128-bit keys, armoured
 * strings) and no key; NULL when memory is short. */
QUORIN_C_API quorin* quorin_new(void);
/* Wipes the key material and the work buffer and frees the instance; NULL is ignored. */
QUORIN_C_API void quorin_free(quorin* q);

/* The published properties. A value outside the enumeration is refused
 * with QUORIN_INVALID_ARGUMENT. Setting has no other effect. With a NULL
 * handle the getters return the defaults (ECB, 128-bit keys, encode) and
 * record the refusal's message in quorin_last_error(): check the handle,
 * not the value. */
QUORIN_C_API int quorin_set_mode(quorin* q, quorin_mode mode);
QUORIN_C_API quorin_mode quorin_get_mode(const quorin* q);
QUORIN_C_API int quorin_set_key_size(quorin* q, quorin_key_size size);
QUORIN_C_API quorin_key_size quorin_get_key_size(const quorin* q);
QUORIN_C_API int quorin_set_string_mode(quorin* q, quorin_string_mode mode);
QUORIN_C_API quorin_string_mode quorin_get_string_mode(const quorin* q);

/* Keys the instance; the key is zero-extended or cut to the key size. A
 * length of 0 gives QUORIN_EMPTY_KEY and keeps the previous key. */
QUORIN_C_API int quorin_initialise(quorin* q, const uint8_t* key, size_t key_len);
/* Loads the IV (16 bytes; shorter is zero-extended, longer folded by XOR). */
QUORIN_C_API int quorin_load_iv(quorin* q, const uint8_t* iv, size_t iv_len);
/* Wipes key, chain and working block; the instance needs a key again. */
QUORIN_C_API void quorin_burn(quorin* q);
/* The package version, "1.11"; a static string. */
QUORIN_C_API const char* quorin_version(void);

/* One 16-byte block in the chosen mode (in and out may be the same). */
QUORIN_C_API int quorin_encrypt_block(quorin* q, const uint8_t in[16], uint8_t out[16]);
QUORIN_C_API int quorin_decrypt_block(quorin* q, const uint8_t in[16], uint8_t out[16]);

/* The work buffer (QUORIN_BUFFER_SIZE bytes), valid while q lives: fill its
 * first count bytes, transform them in place. */
QUORIN_C_API uint8_t* quorin_buffer(quorin* q);
QUORIN_C_API int quorin_encrypt_buffer(quorin* q, int32_t count);
QUORIN_C_API int quorin_decrypt_buffer(quorin* q, int32_t count);

/* Any whole number of blocks (len a multiple of 16, 0 included) from src to
 * dst in the chosen mode, through the work buffer 4096 bytes at a time, as
 * the buffer operations and the streams do: no padding, and the chain runs
 * on, so that a stream of any length is these calls on its pieces and a
 * padded final one. src and dst may be the same. A len that is not whole
 * blocks, or a NULL pointer with a len above 0, gives
 * QUORIN_INVALID_ARGUMENT; then the key (and the IV outside ECB) is
 * checked, for a len of 0 too. */
QUORIN_C_API int quorin_encrypt_blocks(quorin* q, const uint8_t* src, uint8_t* dst, size_t len);
QUORIN_C_API int quorin_decrypt_blocks(quorin* q, const uint8_t* src, uint8_t* dst, size_t len);

/* Strings: padded encryption of src, as armoured text (string mode encode,
 * NUL-terminated) or raw bytes (normal). For decryption the size asked for
 * is an upper bound; *dst_len gets the exact length. Besides the caller's
 * buffers, a call holds one copy of the data while it runs. */
QUORIN_C_API int quorin_encrypt_string(quorin* q, const uint8_t* src, size_t src_len, uint8_t* dst,
                                       size_t* dst_len);
QUORIN_C_API int quorin_decrypt_string(quorin* q, const uint8_t* src, size_t src_len, uint8_t* dst,
                                       size_t* dst_len);

/* Many strings in one call, for columns of stored values. The records lie
 * end to end in src; record i is src[src_offsets[i] .. src_offsets[i+1]),
 * so src_offsets has count + 1 entries, non-decreasing, from any start (the
 * layout of Arrow's large binary arrays). Each record is transformed exactly
 * as quorin_encrypt_string or quorin_decrypt_string would transform it in
 * the instance's string mode, after the IV that iv_use names:
 * - QUORIN_IV_RESTART: ivs holds one 16-byte IV, loaded before every record,
 *   so that each value stands alone (how a stored column is written);
 * - QUORIN_IV_PER_RECORD: ivs holds 16 bytes for every record;
 * - QUORIN_IV_CHAIN: the chain runs on from record to record, as successive
 *   string calls leave it; ivs, when not NULL, is one IV loaded first.
 * In ECB, ivs is not read and may be NULL. The instance is left as the last
 * record's call leaves it.
 * The results lie end to end in dst, record i at dst[dst_offsets[i] ..
 * dst_offsets[i+1]) (dst_offsets has count + 1 entries and starts at 0);
 * armour here carries no NUL. *dst_len follows the size-query convention:
 * for decryption the size needed is an upper bound, and *dst_len gets the
 * length used.
 * A record that cannot be decrypted (QUORIN_BAD_CIPHERTEXT) gets its status
 * in statuses[i] and an empty result, and the batch goes on; statuses has
 * count entries (every one QUORIN_OK for encryption, where it may be NULL).
 * The call itself fails, changing nothing, only for what fails every record:
 * bad arguments, offsets or room, no key, or no IV to chain from. */
typedef QUORIN_ENUM(quorin_iv_use_e){QUORIN_IV_RESTART = 0, QUORIN_IV_PER_RECORD = 1,
                                     QUORIN_IV_CHAIN = 2} quorin_iv_use;

QUORIN_C_API int quorin_encrypt_strings(quorin* q, const uint8_t* src, const int64_t* src_offsets,
                                        size_t count, quorin_iv_use iv_use, const uint8_t* ivs,
                                        uint8_t* dst, size_t* dst_len, int64_t* dst_offsets,
                                        int32_t* statuses);
QUORIN_C_API int quorin_decrypt_strings(quorin* q, const uint8_t* src, const int64_t* src_offsets,
                                        size_t count, quorin_iv_use iv_use, const uint8_t* ivs,
                                        uint8_t* dst, size_t* dst_len, int64_t* dst_offsets,
                                        int32_t* statuses);

/* Files by name. A file that cannot be opened, read, written or closed gives
 * QUORIN_IO_ERROR; quorin_last_error() names the file, the step and the cause. */
QUORIN_C_API int quorin_encrypt_file(quorin* q, const char* in_path, const char* out_path);
QUORIN_C_API int quorin_decrypt_file(quorin* q, const char* in_path, const char* out_path);

/* The CBC-MAC: the chaining register after CBC encryption, as 16 bytes or as
 * 32 upper-case hex digits and a NUL. */
QUORIN_C_API int quorin_mac(quorin* q, uint8_t out[16]);
QUORIN_C_API int quorin_mac_hex(quorin* q, char out[33]);

/* The radix-64 armour alone. Decoding reads characters outside the alphabet
 * as 0, as the component does. */
QUORIN_C_API int quorin_encode(const uint8_t* src, size_t src_len, char* dst, size_t* dst_len);
QUORIN_C_API int quorin_decode(const char* src, size_t src_len, uint8_t* dst, size_t* dst_len);

#ifdef __cplusplus
}
#endif

#include "quorin/quorin_sealed.h"

#endif /* QUORIN_QUORIN_H */
