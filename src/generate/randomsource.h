#pragma once

#include <cstdint>

namespace mixgen {

// The pick's random generator, behind a small interface that tests can script.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Mixes a new seed into the generator's state: two re-seeds with the same value never
    // restart the sequence.
    virtual void reseed(double seed) = 0;
    // A uniform value from 0 (included) to 1 (excluded), in double precision.
    virtual double next() = 0;
    // Seconds since local midnight, with fractions: the pick re-seeds from it before each draw.
    virtual double timeOfDay() = 0;
};

// The program's own generator: xoshiro256** whose state a re-seed stirs (the seed's bits,
// spread by splitmix64, are folded into the running state and the state is then advanced), so
// that re-seeds within one tick of the clock still give fresh values. Its first state comes
// from the system's entropy unless a start value is given.
class ClockSeededRandom final : public RandomSource {
public:
    ClockSeededRandom();
    explicit ClockSeededRandom(std::uint64_t start);

    void reseed(double seed) override;
    double next() override;
    double timeOfDay() override;

private:
    std::uint64_t nextBits();
    std::uint64_t m_state[4];
    std::int64_t m_secondSeen = -1;       // the clock's second at the last look
    std::int64_t m_secondOfDayMicros = 0; // where that second starts in the local day
};

} // namespace mixgen
