#pragma once

#include "generate/randomsource.h"

#include <QList>

#include <random>

namespace mixgen::test {

// A generator whose values come from a script (or, once it runs out, from a seeded engine),
// and which records every re-seed, so a test knows exactly which index each pick gets.
class ScriptedRandom final : public RandomSource {
public:
    explicit ScriptedRandom(QList<double> values = {}, std::uint64_t engineSeed = 1)
        : m_values(std::move(values)), m_engine(engineSeed) {}

    void reseed(double seed) override {
        seeds.append(seed);
        ++reseedsSinceDraw;
    }
    double next() override {
        reseedsBeforeDraws.append(reseedsSinceDraw);
        reseedsSinceDraw = 0;
        if (m_drawn < m_values.size())
            return m_values.at(m_drawn++);
        return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine);
    }
    double timeOfDay() override { return clock += 0.25; }

    double clock = 1000.0;
    QList<double> seeds;
    QList<int> reseedsBeforeDraws;
    int reseedsSinceDraw = 0;

private:
    QList<double> m_values;
    qsizetype m_drawn = 0;
    std::mt19937_64 m_engine;
};

} // namespace mixgen::test
