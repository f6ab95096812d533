#include "windows/desktopfit.h"

#include "windows/accessibletexts.h"
#include "windows/formstyle.h"
#include "windows/screenplacement.h"

namespace mixgen {

void fitToDesktop(QWidget* window) {
    completeAccessibleTexts(window);
    colourMarkedCaptions(window);
    fitCaptions(window);
    keepOnScreen(window);
}

} // namespace mixgen
