#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] inline void fuzzPropertyBroken(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_REQUIRE(condition) \
    ((condition) ? void() : fuzzPropertyBroken(#condition, __FILE__, __LINE__))
