#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QWidget>

#include <functional>

// Driving the modal pickers and file dialogs from inside their own event loops.
namespace mixgen::test {

// Runs act once window is on the screen and its activation has run.
inline void whenShown(QWidget& window, std::function<void()> act) {
    auto* timer = new QTimer(&window);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &window, act] {
        if (!window.isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        QApplication::processEvents();
        act();
    });
    timer->start(10);
}

// Runs act on the next file dialog shown modally.
inline void whenFileDialogShown(std::function<void(QFileDialog&)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start(10);
}

} // namespace mixgen::test
