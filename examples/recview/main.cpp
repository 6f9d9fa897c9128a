// The recording viewer, a front end built on the frame.
//
//   recview [file]                 shows the window and opens `file` (a .rec or "mirel:/...")
//   recview --make-samples DIR     writes the demo recordings into DIR and exits
//
// With a display it shows the window. On the offscreen platform (no display) it opens the file,
// replays a few sweeps, renders the window to a PNG ($TEV_DEMO_SCREENSHOT, default
// ./recview.png) and prints the file's path.

#include "recviewwindow.h"
#include "samplegenerator.h"

#include <values/tree.h>
#include <values/valueselection.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

// Sweeps the offscreen run replays before it takes the picture.
constexpr int kOffscreenSweeps = 24;

int makeSamples(const QString& folder)
{
    QString error;
    const QStringList written = SampleGenerator::writeDemoSamples(folder, &error);
    if (written.isEmpty()) {
        QTextStream(stderr) << "Could not write the samples: " << error << '\n';
        return 1;
    }
    QTextStream out(stdout);
    for (const QString& path : written)
        out << "Wrote " << path << '\n';
    return 0;
}

void switchOn(const QString& path)
{
    if (values::Tree* tree = values::Tree::Instance()) {
        if (auto* selection = tree->Find<values::ValueSelection>(path))
            selection->Select(QStringLiteral("ON"), nullptr);
    }
}

void renderAndQuit(RecViewWindow* window, const QString& out)
{
    const bool saved = window->grab().save(out);
    QTextStream(saved ? stdout : stderr)
        << (saved ? "Rendered the demo window offscreen to " : "Could not write ") << out << '\n';
    window->close();
    QCoreApplication::exit(saved ? 0 : 1);
}

} // namespace

int main(int argc, char* argv[])
{
    // Before the application object: writing samples needs no display.
    if (argc >= 2 && std::strcmp(argv[1], "--make-samples") == 0) {
        if (argc != 3) {
            QTextStream(stderr) << "usage: recview --make-samples DIR\n";
            return 2;
        }
        return makeSamples(QString::fromLocal8Bit(argv[2]));
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        QTextStream(stderr) << "usage: recview [file.rec | mirel:/path.rec]\n"
                               "       recview --make-samples DIR\n";
        return 2;
    }

    // Qt 5 scales for a dense screen and hands out the library's twice-size pictures only when
    // asked, before the application object exists; Qt 6 always does both.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("recview"));
    QApplication::setApplicationVersion(RecViewWindow::version());
    RecViewWindow::installTranslations();
    const QString file = argc == 2 ? QString::fromLocal8Bit(argv[1]) : QString();
    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");

    auto* window
        = new RecViewWindow(QCoreApplication::translate("RecViewWindow", "Recording Viewer"),
            QStringLiteral("recview"), QStringLiteral("/RecView"));
    window->setInteractive(!offscreen);
    // The frame restores the size of the last run, or takes two thirds of the screen.
    window->initialize(true);
    if (offscreen)
        window->resize(1040, 640); // the same picture on every machine

    if (offscreen) {
        // The picture shows every trace: peak hold and level detect on, a few sweeps played.
        const QString prefix = window->engine()->valuePrefix();
        switchOn(prefix + QStringLiteral("/peakhold"));
        switchOn(prefix + QStringLiteral("/leveldetect"));
    }
    if (!file.isEmpty() && !window->openFile(file) && offscreen) {
        window->close();
        return 1;
    }

    if (offscreen) {
        const QString out = qEnvironmentVariable(
            "TEV_DEMO_SCREENSHOT", QDir::current().absoluteFilePath(QStringLiteral("recview.png")));
        ReplayEngine* engine = window->engine();
        if (engine->sweepCount() > 1) {
            const int last = std::min(kOffscreenSweeps, engine->sweepCount() - 1);
            QObject::connect(engine, &ReplayEngine::frameChanged, window, [=](int index) {
                if (index == last) {
                    engine->stop();
                    // Once the frame has been painted.
                    QTimer::singleShot(0, window, [=] { renderAndQuit(window, out); });
                }
            });
            engine->fastPlay();
        } else {
            QTimer::singleShot(0, window, [=] { renderAndQuit(window, out); });
        }
    }
    return app.exec();
}
