#pragma once

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

} // namespace mixgen
