#include <QCoreApplication>

#include <gtest/gtest.h>

// For the tests that need an application object and its event loop: Qt Network's requests and
// QProcess's runs of the real executable.
int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
