#include <QApplication>

#include <gtest/gtest.h>

// The widget tests need a QApplication for the whole run; ctest sets QT_QPA_PLATFORM=offscreen.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
