/* The C tests' one assertion: count passes and failures, name each failure
 * with its line, and report both at the end. */
#ifndef QUORIN_TESTS_CHECK_H
#define QUORIN_TESTS_CHECK_H

#include <stdio.h>

static int passes, failures;

#define CHECK(cond)                                                   \
  do {                                                                \
    if (cond) {                                                       \
      ++passes;                                                       \
    } else {                                                          \
      ++failures;                                                     \
      fprintf(stderr, "FAIL %s:%d: %s\n", __FILE__, __LINE__, #cond); \
    }                                                                 \
  } while (0)

/* Prints "N passed, N failed"; the exit status for main. */
static int check_summary(void) {
  printf("%d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}

#endif
