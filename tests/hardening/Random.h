// A small deterministic generator, so every fuzz run is repeatable from its seed.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace testing_support {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}

    std::uint64_t next()
    {
        // xorshift64*
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    std::uint32_t below(std::uint32_t bound) { return bound ? static_cast<std::uint32_t>(next() % bound) : 0; }
    bool chance(std::uint32_t percent) { return below(100) < percent; }
    unsigned char byte() { return static_cast<unsigned char>(next()); }

private:
    std::uint64_t state_;
};

// How many inputs a fuzz test feeds: QUORVEL_FUZZ_ITERATIONS, else the default.
inline std::uint32_t fuzzIterations(std::uint32_t fallback)
{
    if (const char* text = std::getenv("QUORVEL_FUZZ_ITERATIONS")) {
        const unsigned long value = std::strtoul(text, nullptr, 10);
        if (value > 0)
            return static_cast<std::uint32_t>(value);
    }
    return fallback;
}

} // namespace testing_support
