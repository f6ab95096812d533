#include "generate/randomsource.h"

#include <QDateTime>

#include <bit>
#include <random>

#include <time.h>

namespace mixgen {

namespace {

std::uint64_t splitmix64(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

std::uint64_t entropy() {
    std::random_device device;
    return (std::uint64_t(device()) << 32) ^ device();
}

} // namespace

ClockSeededRandom::ClockSeededRandom() : ClockSeededRandom(entropy()) {}

ClockSeededRandom::ClockSeededRandom(std::uint64_t start) {
    for (std::uint64_t& word : m_state)
        word = splitmix64(start);
}

void ClockSeededRandom::reseed(double seed) {
    std::uint64_t spread = std::bit_cast<std::uint64_t>(seed);
    for (std::uint64_t& word : m_state)
        word ^= splitmix64(spread);
    // xoshiro must never hold all zeros; a seed that cancels the state exactly is set aside.
    if ((m_state[0] | m_state[1] | m_state[2] | m_state[3]) == 0)
        m_state[0] = 0x9e3779b97f4a7c15ULL;
    // Advancing after the fold makes a second re-seed with the same value a new state, not
    // the old one restored.
    nextBits();
}

double ClockSeededRandom::next() {
    // The top 53 bits as a fraction: never 1.
    return double(nextBits() >> 11) * 0x1.0p-53;
}

double ClockSeededRandom::timeOfDay() {
    // The coarse clock: it moves on at every tick of the system (a few milliseconds), as fine
    // as a time of day for a seed needs to be, and it is read in a fraction of the time the
    // fine one takes, which counted before each of a hundred thousand picks. Re-seeds within
    // one tick still give fresh values (see reseed).
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    // The second's place in the local day (a look at the zone file) is worked out once a
    // second at most.
    if (now.tv_sec != m_secondSeen) {
        m_secondSeen = now.tv_sec;
        const std::int64_t local =
            std::int64_t(now.tv_sec) + QDateTime::fromSecsSinceEpoch(now.tv_sec).offsetFromUtc();
        constexpr std::int64_t day = 86'400;
        m_secondOfDayMicros = (local % day + day) % day * 1'000'000;
    }
    return double(m_secondOfDayMicros + now.tv_nsec / 1000) / 1e6;
}

std::uint64_t ClockSeededRandom::nextBits() {
    std::uint64_t* s = m_state;
    const std::uint64_t result = std::rotl(s[1] * 5, 7) * 9;
    const std::uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = std::rotl(s[3], 45);
    return result;
}

} // namespace mixgen
