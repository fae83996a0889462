// Seeded mutations of install and registry scripts: structural ones (lines,
// fields and tokens dropped, doubled, swapped or made long; separators,
// numbers, line ends, odd bytes) and byte-wise ones. The same seed gives
// the same input.
#ifndef VUR_FUZZ_MUTATE_H
#define VUR_FUZZ_MUTATE_H

#include <stdint.h>
#include <stddef.h>
#include <string>

class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    size_t Below(size_t n) { return n ? (size_t)(Next() % n) : 0; }

private:
    uint64_t m_state;
};

enum class ScriptKind { Install, Registry };

// One to three structural changes; pDonor lends lines to splice in. Adds
// what was done to *pHow.
std::string MutateStructure(const std::string &text, const std::string &donor, ScriptKind kind, Rng &rng,
                            std::string *pHow);
// One to eight byte changes (bit flips, bytes set, inserted or removed).
std::string MutateBytes(const std::string &text, Rng &rng, std::string *pHow);

#endif
