#include "app/Application.h"

#include <QApplication>

#include <gtest/gtest.h>

// The widget tests (the window's and the pipeline's) need a QApplication for the whole run. They
// run offscreen unless told otherwise, also when ctest lists them (it does so without the tests'
// environment).
int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The program's style and icon; Qt's Japanese texts only where a test asks for them, so that
    // no test depends on the locale it is run in.
    QApplication::setStyle(tallemo::makeProgramStyle());
    QApplication::setWindowIcon(tallemo::programIcon());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
