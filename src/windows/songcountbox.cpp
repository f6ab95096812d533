#include "windows/songcountbox.h"

#include "core/numbertext.h"

#include <QLineEdit>

namespace mixgen {

void keepSongCountInRange(QLineEdit* box) {
    constexpr double kMostSongs = 100000;
    if (leadingNumericValue(box->text()) > kMostSongs)
        box->setText(QStringLiteral("100000"));
    if (leadingNumericValue(box->text()) < 1)
        box->setText(QStringLiteral("1"));
    const QString normal = numberToText(leadingNumericValue(box->text()));
    if (box->text() != normal)
        box->setText(normal);
}

} // namespace mixgen
