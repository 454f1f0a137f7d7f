#pragma once
// A small seeded random source whose sequence is the same on every compiler
// and standard library (the standard distributions are not), so that a
// simulated match replays exactly for a given seed.
#include <cstdint>

namespace bf42sim {

class CSimRandom {
public:
    explicit CSimRandom(uint64_t nSeed) : m_nState(nSeed) {}

    // splitmix64: full period, good enough spread for a game simulation.
    uint64_t Next() {
        uint64_t z = (m_nState += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // A number from nLow to nHigh, both included (nLow <= nHigh).
    int Range(int nLow, int nHigh) {
        const uint64_t nSpan = static_cast<uint64_t>(static_cast<int64_t>(nHigh) - nLow) + 1;
        return static_cast<int>(nLow + static_cast<int64_t>(Next() % nSpan));
    }

    // True with a chance of nNumerator in nDenominator.
    bool Chance(int nNumerator, int nDenominator) { return Range(1, nDenominator) <= nNumerator; }

private:
    uint64_t m_nState;
};

}  // namespace bf42sim
