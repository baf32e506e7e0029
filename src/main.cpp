#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("accessterm"));
    QWidget window;
    window.show();
    return app.exec();
}
