#pragma once

#include "platform/messages.h"

// The message seam on the screen: every box is a QMessageBox over the program's active window.
namespace mixgen {

class QtMessages final : public MessageSeam {
public:
    MsgAnswer show(const QString& caption, const QString& text, MsgIcon icon,
                   MsgButtons buttons) override;
};

} // namespace mixgen
