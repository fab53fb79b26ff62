#include <QCoreApplication>

#include <gtest/gtest.h>

// QProcess, which runs the real executable, wants an application object.
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
