#include "generate/randomsource.h"

#include <QDateTime>

#include <bit>
#include <chrono>
#include <random>

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
    using namespace std::chrono;
    const std::int64_t now =
        duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    // Looking up the local offset costs a look at the zone file, so it is done once a second
    // at most, not before every one of a hundred thousand picks.
    const std::int64_t second = now / 1'000'000;
    if (second != m_offsetCheckedAt) {
        m_offsetCheckedAt = second;
        m_utcOffsetMicros =
            std::int64_t(QDateTime::fromSecsSinceEpoch(second).offsetFromUtc()) * 1'000'000;
    }
    constexpr std::int64_t day = 86'400'000'000;
    const std::int64_t local = ((now + m_utcOffsetMicros) % day + day) % day;
    return double(local) / 1e6;
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
