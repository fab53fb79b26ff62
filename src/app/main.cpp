#include "app/Application.h"
#include "app/TForm1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tallemo::setUpApplication(application);
    tallemo::TForm1 Form1;
    Form1.show();
    return QApplication::exec();
}
