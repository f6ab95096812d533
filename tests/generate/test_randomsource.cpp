#include "generate/playlistwriter.h"
#include "generate/randomsource.h"

#include <QBuffer>
#include <QTime>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace mixgen;

namespace {

// The program's generator with a clock that stands still, as it does for picks that fall
// within one tick.
class FrozenClock final : public RandomSource {
public:
    void reseed(double seed) override { generator.reseed(seed); }
    double next() override { return generator.next(); }
    double timeOfDay() override { return 43200.5; }
    ClockSeededRandom generator{12345};
};

} // namespace

// Catches values outside [0, 1) and a generator stuck on a few values or skewed.
TEST(ClockSeededRandom, UniformValuesFromZeroUpToOne) {
    ClockSeededRandom random(99);
    double sum = 0;
    int low = 0;
    for (int i = 0; i < 100000; ++i) {
        if (i % 3 == 0)
            random.reseed(1000.0 * 3.141592);
        const double r = random.next();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        sum += r;
        low += r < 0.1;
    }
    EXPECT_NEAR(sum / 100000, 0.5, 0.01);
    EXPECT_NEAR(low, 10000, 600);
}

// Catches a re-seed that restarts the generator: the same seed twice must not replay.
TEST(ClockSeededRandom, SameSeedTwiceGivesNewValues) {
    ClockSeededRandom random(5);
    random.reseed(42.0);
    const double first = random.next();
    random.reseed(42.0);
    const double second = random.next();
    random.reseed(42.0);
    random.reseed(42.0);
    const double third = random.next();
    EXPECT_NE(first, second);
    EXPECT_NE(second, third);
    EXPECT_NE(first, third);

    // The state, not the seed alone, decides: equal histories give equal values.
    ClockSeededRandom a(8), b(8);
    a.reseed(7.5);
    b.reseed(7.5);
    EXPECT_EQ(a.next(), b.next());
}

// Catches a time of day outside one day, or off the local clock (a zone offset left out or
// counted twice, a wrong unit).
TEST(ClockSeededRandom, TimeOfDayIsTheLocalClocks) {
    ClockSeededRandom random;
    const double now = random.timeOfDay();
    EXPECT_GE(now, 0.0);
    EXPECT_LT(now, 86400.0);
    double apart = std::abs(now - QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
    apart = std::min(apart, 86400.0 - apart); // the two looks may lie either side of midnight
    EXPECT_LT(apart, 1.0);
}

// Catches picks within one clock tick landing on neighbouring songs, as they would if every
// re-seed restarted the generator with the same value.
TEST(ClockSeededRandom, PicksWithinOneTickSpreadOverTheList) {
    QStringList found;
    for (int i = 0; i < 100000; ++i)
        found.append(QString::number(i));
    QStringList picked;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    FrozenClock random;
    ASSERT_EQ(pickAndWrite(found, picked, 20, sink, "/out.m3u", random), 20);
    int neighbours = 0;
    for (int i = 1; i < picked.size(); ++i)
        neighbours += std::abs(picked[i].mid(5).toInt() - picked[i - 1].mid(5).toInt()) <= 1;
    EXPECT_LT(neighbours, 3);
}
