#pragma once

#include <cstdint>

namespace testing_support {

// Deterministic pseudo-random numbers for test and benchmark pictures.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state(seed) {}
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }

private:
    std::uint32_t state;
};

}  // namespace testing_support
