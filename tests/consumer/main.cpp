// A front end built against the installed package only: it derives a window from the frame,
// places the replay bar and the file information panel, and checks that the frame came up with
// its File menu and its values. Prints OK and exits 0 when everything is in place.

#include <values/tree.h>
#include <values/valueselection.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cframemainwnd.h>
#include <cinfobar.h>
#include <creplaybar.h>
#include <tevvaluenames.h>

namespace {

const char ValueRoot[] = "/Consumer";

class ConsumerWindow : public CFrameMainWnd
{
public:
    ConsumerWindow(QString appName, QString cfgName, QString valueRoot)
        : CFrameMainWnd(appName, cfgName, valueRoot)
    { }

    void insertMainBar() override
    {
        m_replayBar = new CReplayBar(this, "Replay Operations", QString::fromLatin1(ValueRoot));
        m_replayBar->addDockWindow();
    }

    void initSplitterWindow() override
    {
        CFrameMainWnd::initSplitterWindow();
        m_infoBar = new CInfoBar(nullptr, nullptr, "File Info");
        m_splitter->addWidget(m_infoBar);
    }

    CReplayBar* m_replayBar = nullptr;
    CInfoBar* m_infoBar = nullptr;
};

int fail(const QString& what)
{
    QTextStream(stderr) << "FAILED: " << what << '\n';
    return 1;
}

int check(ConsumerWindow& window)
{
    if (!window.menuBar()->findChild<QMenu*>(QStringLiteral("File")))
        return fail(QStringLiteral("the frame has no File menu"));

    if (!window.m_replayBar || window.toolBarArea(window.m_replayBar) != Qt::TopToolBarArea)
        return fail(QStringLiteral("the replay bar is not in the top tool-bar area"));

    auto* splitter = window.findChild<QSplitter*>();
    if (!splitter || splitter->indexOf(window.m_infoBar) < 0)
        return fail(QStringLiteral("the information panel is not in the splitter"));

    const QString loadedPath
        = QString::fromLatin1(ValueRoot) + '/' + QLatin1String(TevValueNames::FileLoaded);
    auto* loaded = values::Tree::Instance()->Find<values::ValueSelection>(loadedPath);
    if (!loaded)
        return fail(loadedPath + QStringLiteral(" is not in the value tree"));
    if (loaded->GetStringValue() != QLatin1String("Off"))
        return fail(loadedPath + QStringLiteral(" is ") + loaded->GetStringValue());
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Nothing of a real configuration may be read or written.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir configDir;
    if (!configDir.isValid())
        return fail(QStringLiteral("no temporary configuration folder"));
    qputenv("TEV_CONFIG_DIR", QFile::encodeName(configDir.path()));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("consumer"));

    auto* window = new ConsumerWindow(
        QStringLiteral("Consumer"), QStringLiteral("consumer"), QString::fromLatin1(ValueRoot));
    window->initialize(false);
    const int result = check(*window);
    delete window;

    if (result == 0)
        QTextStream(stdout) << "OK\n";
    return result;
}
