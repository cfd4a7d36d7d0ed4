#pragma once
// One fuzz target per file. Built with QUORVEL_BUILD_FUZZ the entry is libFuzzer's; in the normal
// suite the same function is called by test_fuzz_regressions on every file of the target's seed
// corpus and of fuzz/regressions/<target>/, so an input that once failed stays covered.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifdef QUORVEL_FUZZ_REGRESSION
#define QUORVEL_FUZZ_TARGET(name) int quorvelFuzz_##name(const std::uint8_t* data, std::size_t size)
#else
#define QUORVEL_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#endif

namespace quorvel::fuzz {

// A property of the code under test that an input broke: report it and stop, so that the fuzzer
// keeps the input as a crash and the regression test fails.
[[noreturn]] inline void broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz property broken at %s:%d: %s\n", file, line, what);
    std::abort();
}

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace quorvel::fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::quorvel::fuzz::broken(#condition, __FILE__, __LINE__);                               \
    } while (false)
