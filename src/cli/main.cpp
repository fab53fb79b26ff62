// tallemo-convert: the window's statement converters on the command line. See --help.
#include "cli/ConvertCommand.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    // Qt Network and the program's folder (for Tallemo.ini) need the application object.
    QCoreApplication app(argc, argv);
    return tallemo::runConvertProgram(QCoreApplication::arguments());
}
