// The yardstick for the start-up benchmark: the smallest Qt Widgets program
// with a text box, built from the same Qt as Tressik.

#include <QApplication>
#include <QLineEdit>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    QLineEdit text(&window);
    text.move(12, 12);
    window.resize(320, 60);
    window.show();
    return QApplication::exec();
}
