#include <QCoreApplication>

#include <gtest/gtest.h>

// Qt Network needs an application object and its event dispatcher.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
