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
    // A death test run again in a new process finds its parent's sandbox in the environment;
    // one of its own would be left behind, as the child ends without cleaning up.
    if (GTEST_FLAG_GET(internal_run_death_test).empty())
        mixgen::test::enterSandbox();
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
