// The peer of the start-up figure: a bare main window with a menu bar and
// two text views side by side, linked against the same Qt modules as the
// program (each one used, so that it is loaded). It writes "first-paint" on
// its output when the first text view first paints, as the program's probe
// does for its sheet.

#include <QApplication>
#include <QDBusConnection>
#include <QMainWindow>
#include <QMenuBar>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSoundEffect>
#include <QSplitter>

#include <cstdio>

namespace {
const char* const kMenus[] = {"&File", "&Edit", "&Service", "&View", "&Help"};

class TPaintProbe : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            std::fputs("first-paint\n", stdout);
            std::fflush(stdout);
            watched->removeEventFilter(this);
        }
        return false;
    }
};
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The modules the program loads, each referred to once so that the
    // linker keeps them.
    volatile auto printing = &QPrinter::resolution;
    const QMetaObject* volatile sounds = &QSoundEffect::staticMetaObject;
    const QMetaObject* volatile network = &QNetworkAccessManager::staticMetaObject;
    volatile auto bus = &QDBusConnection::isConnected;
    (void)printing, (void)sounds, (void)network, (void)bus;
    QMainWindow window;
    for (const char* menu : kMenus) window.menuBar()->addMenu(QString::fromLatin1(menu));
    auto* split = new QSplitter(&window);
    auto* left = new QPlainTextEdit(split);
    left->setPlainText(QStringLiteral("Welcome"));
    new QPlainTextEdit(split);
    window.setCentralWidget(split);
    TPaintProbe probe;
    left->viewport()->installEventFilter(&probe);
    window.resize(1000, 600);
    window.show();
    return app.exec();
}
