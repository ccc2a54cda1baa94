#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Quorrindel 4720B Programming tool v2.2");
    window.show();
    return QApplication::exec();
}
