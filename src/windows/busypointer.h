#pragma once

#include <QApplication>

namespace mixgen {

// The busy pointer over the whole program while a window works. However often it is set,
// it is put back once; its owner's end puts it back too.
class BusyPointer {
public:
    BusyPointer() = default;
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    ~BusyPointer() { set(false); }

    void set(bool busy) {
        if (busy == m_shown)
            return;
        m_shown = busy;
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    }

private:
    bool m_shown = false;
};

} // namespace mixgen
