#pragma once
// A broken promise ends the run with the condition that failed, so that
// libFuzzer keeps the input that broke it.
#include <cstdio>
#include <cstdlib>

#define CHECK(c)                                                          \
  do {                                                                    \
    if (!(c)) {                                                           \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #c, __LINE__); \
      std::abort();                                                       \
    }                                                                     \
  } while (0)
