// What the fuzz pass's parts share: the mutations of fuzzmutate.cpp and
// the sandbox of fuzzsandbox.h, used by the pass in fuzz_tests.cpp.
#ifndef VUR_TEST_FUZZ_H
#define VUR_TEST_FUZZ_H

#include <windows.h>
#include <stdint.h>
#include <string>
#include <vector>

typedef std::vector<std::string> Strings;

// The same seed gives the same inputs.
struct Rng {
    uint64_t state;
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t n) { return n ? (size_t)(Next() % n) : 0; }
    template <size_t N> const char *Pick(const char *const (&a)[N]) { return a[Below(N)]; }
};

// One to three structural changes (lines, sections, fields, lengths around
// the fixed buffers), or one to eight byte changes; *pHow gets their names.
std::string Mutate(std::string text, const std::string &donor, bool bRegistry, Rng &rng, std::string *pHow);

#endif
