#pragma once

#include <QString>
#include <QtGlobal>

namespace mixgen {

// A playlist of a length in minutes: songs drawn one by one are offered; a song is added while
// the total stays at or below the target, a song that would pass it is set aside, and the
// playlist is complete once the total is within two minutes of the target.
class LengthTarget {
public:
    explicit LengthTarget(int minutes) : m_target(qint64(minutes) * 60) {}

    // A song of unknown length (-1, or none read) counts as three minutes.
    static int countedSeconds(int seconds) { return seconds > 0 ? seconds : 180; }

    // True when the song is added, false when it is set aside.
    bool offer(int seconds) {
        const int counted = countedSeconds(seconds);
        if (m_total + counted > m_target)
            return false;
        m_total += counted;
        return true;
    }
    bool reached() const { return m_target - m_total <= 120; }
    qint64 totalSeconds() const { return m_total; }

private:
    qint64 m_target;
    qint64 m_total = 0;
};

// The total length as the playlist window shows it: "m:ss", or "h:mm:ss" from an hour on.
QString lengthText(qint64 seconds);

} // namespace mixgen
