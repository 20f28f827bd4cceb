// The fuzz targets' assertion: a broken property aborts, which libFuzzer reports as a crash
// and saves the input that broke it.
#ifndef QVEX_FUZZ_FUZZ_CHECK_H_
#define QVEX_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

#endif  // QVEX_FUZZ_FUZZ_CHECK_H_
