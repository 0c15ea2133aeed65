// The platform's own floor for start-up and memory: a Qt program that shows
// one main window of the program's size with a line of text (so that the
// fonts are loaded, as any window with text needs) and does nothing else.
// With --file-dialogs it also creates two file dialogs before showing the
// window, as the program's window does at start-up: the difference is what
// those dialogs cost a starting process.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Программа управления приводом ТИРС-70")));
    window.resize(466, 461);
    if (argc > 1 && std::strcmp(argv[1], "--file-dialogs") == 0) {
        new QFileDialog(&window);
        new QFileDialog(&window);
    }
    window.show();
    return app.exec();
}
