// The one main of every test program.
#include "testenv.h"

#include <gtest/gtest.h>

#ifdef MIXGEN_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
#ifdef MIXGEN_TEST_GUI
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    mixgen::test::enterSandbox();
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
