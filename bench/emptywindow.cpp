// The platform's own floor for start-up and memory: a Qt program that shows
// one empty main window of the program's size and does nothing else.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(466, 461);
    window.show();
    return app.exec();
}
