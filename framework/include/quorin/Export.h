/* Export.h: how Quorin's libraries mark their public symbols, for C and
 * C++. Each library's header defines its own macro as QUORIN_EXPORT while
 * that library is built and as QUORIN_IMPORT for its users. Define
 * QUORIN_STATIC, building and using static libraries, and nothing is
 * imported or exported. */
#ifndef QUORIN_EXPORT_H
#define QUORIN_EXPORT_H

#if defined(QUORIN_STATIC)
#define QUORIN_EXPORT
#define QUORIN_IMPORT
#elif defined(_WIN32)
#define QUORIN_EXPORT __declspec(dllexport)
#define QUORIN_IMPORT __declspec(dllimport)
#else
/* Everything else in the libraries is hidden (-fvisibility=hidden). */
#define QUORIN_EXPORT __attribute__((visibility("default")))
#define QUORIN_IMPORT __attribute__((visibility("default")))
#endif

#endif /* QUORIN_EXPORT_H */
