// A front end built on the frame. With a display it shows the window; on the offscreen
// platform (no display) it renders the window to a PNG and prints the file's path.

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QSplitter>
#include <QTextStream>
#include <QTimer>

#include <cframemainwnd.h>

namespace {

class RecViewWindow : public CFrameMainWnd
{
public:
    RecViewWindow(QString appName, QString cfgName, QString valueRoot)
        : CFrameMainWnd(appName, cfgName, valueRoot)
    { }

    void initSplitterWindow() override
    {
        CFrameMainWnd::initSplitterWindow();
        auto* placeholder = new QLabel(tr("No recording loaded"));
        placeholder->setAlignment(Qt::AlignCenter);
        placeholder->setMinimumSize(480, 320);
        m_splitter->addWidget(placeholder);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("recview"));

    auto* window = new RecViewWindow(
        QStringLiteral("Recording Viewer"), QStringLiteral("recview"), QStringLiteral("/RecView"));
    window->initialize(true);

    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        const QString out = qEnvironmentVariable(
            "TEV_DEMO_SCREENSHOT", QDir::current().absoluteFilePath(QStringLiteral("recview.png")));
        QTimer::singleShot(0, window, [window, out] {
            const bool saved = window->grab().save(out);
            QTextStream(saved ? stdout : stderr)
                << (saved ? "Rendered the demo window offscreen to " : "Could not write ") << out
                << '\n';
            window->close();
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
