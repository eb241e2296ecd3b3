/* quorin_base.h: what the two halves of the C interface share: the export
 * macro, the chaining modes and key sizes, the status codes, and the last
 * error. Include <quorin/quorin.h>, which includes this. */
#ifndef QUORIN_QUORIN_BASE_H
#define QUORIN_QUORIN_BASE_H

#include <stddef.h>
#include <stdint.h>

#include "quorin/Export.h"

#if defined(QUORIN_C_BUILDING)
#define QUORIN_C_API QUORIN_EXPORT
#else
#define QUORIN_C_API QUORIN_IMPORT
#endif

/* In C++ the enumerations get int as their fixed type, so that any value a C
 * caller passes is a valid one to test (and refuse), never undefined. */
#ifdef __cplusplus
#define QUORIN_ENUM(tag) enum tag : int
#else
#define QUORIN_ENUM(tag) enum tag
#endif

typedef QUORIN_ENUM(quorin_mode_e){QUORIN_ECB = 0, QUORIN_CBC = 1, QUORIN_CFB = 2,
                                   QUORIN_OFB = 3} quorin_mode;
/* Key sizes in bits, as every other surface gives them. The ordinals of
 * libquorin-c.so.1 (0, 1, 2) are still taken wherever a size is given;
 * sizes are returned in bits. */
typedef QUORIN_ENUM(quorin_key_size_e){QUORIN_KEY_128 = 128, QUORIN_KEY_192 = 192,
                                       QUORIN_KEY_256 = 256} quorin_key_size;

enum {
  QUORIN_OK = 0,
  /* the component's status codes */
  QUORIN_NO_KEY = -1,         /* no key set */
  QUORIN_EMPTY_KEY = -2,      /* a key of length 0 */
  QUORIN_NO_IV = -4,          /* a mode other than ECB without an IV */
  QUORIN_FILE_ERROR = -5,     /* a file name that cannot be bound (empty), or a short write */
  QUORIN_NOT_CBC = -6,        /* CBC-MAC read-out while the mode is not CBC */
  QUORIN_BAD_COUNT = -7,      /* buffer count not a multiple of 16 in 16..4112 */
  QUORIN_BAD_CIPHERTEXT = -8, /* ciphertext not a whole, non-zero number of blocks */
  QUORIN_BAD_PADDING = -9,    /* a file's final decrypted byte exceeds its final chunk */
  QUORIN_SAME_FILE = -10,     /* input and output name the same file */
  QUORIN_SHORT_READ = -11,    /* a source delivered fewer bytes than its size */
  /* this interface's own */
  QUORIN_IO_ERROR = -20,         /* a file could not be opened, read, written or closed */
  QUORIN_INVALID_ARGUMENT = -21, /* a NULL pointer, an enumeration value out of range */
  QUORIN_BUFFER_TOO_SMALL = -22, /* *dst_len now holds the size needed */
  QUORIN_NO_MEMORY = -23,
  QUORIN_INTERNAL_ERROR = -24,
  QUORIN_CALLBACK_FAILED = -25, /* a caller's read or write function reported a failure */
  /* sealed files (quorin_seal_*, quorin_open_*) */
  QUORIN_NOT_SEALED = -30,          /* the input does not start as a sealed file does */
  QUORIN_UNSUPPORTED_VERSION = -31, /* a sealed format version this library does not read */
  QUORIN_BAD_HEADER = -32,          /* a header field holds a value no sealer writes */
  QUORIN_COST_LIMIT = -33,          /* the passphrase's costs exceed the opener's limits */
  QUORIN_AUTHENTICATION = -34,      /* a wrong secret, or the file was altered */
  QUORIN_TRUNCATED = -35,           /* the input ends before the sealed data does */
  QUORIN_SECRET_KIND = -36,         /* no secret of a kind the file was sealed for */
  QUORIN_BAD_ARMOUR = -37           /* armoured text that is cut short or altered */
};

#define QUORIN_NUL_TERMINATED SIZE_MAX

#ifdef __cplusplus
extern "C" {
#endif

/* The message of the calling thread's last failure ("" when none); valid
 * until the thread's next call. */
QUORIN_C_API const char* quorin_last_error(void);
/* The name of a status code, e.g. "QUORIN_NO_IV"; a static string. */
QUORIN_C_API const char* quorin_status_name(int status);

#ifdef __cplusplus
}
#endif

#endif /* QUORIN_QUORIN_BASE_H */
