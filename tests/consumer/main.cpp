// A front end built against the installed package only: a window derived from the frame, with
// the replay bar and the information panel. Prints OK and exits 0 when everything is in place.

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

class ConsumerWindow : public CFrameMainWnd
{
public:
    ConsumerWindow(QString app, QString cfg, QString root)
        : CFrameMainWnd(app, cfg, root)
    { }
    void insertMainBar() override
    {
        m_replayBar = new CReplayBar(this, "Replay Operations", m_valueRoot);
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

int main(int argc, char* argv[])
{
    // Nothing of a real configuration may be read or written.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir configDir;
    qputenv("TEV_CONFIG_DIR", QFile::encodeName(configDir.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("consumer"));
    ConsumerWindow window(QStringLiteral("Consumer"), QStringLiteral("consumer"), "/Consumer");
    window.initialize(false);

    const QString loadedPath = QStringLiteral("/Consumer/") + TevValueNames::FileLoaded;
    auto* loaded = values::Tree::Instance()->Find<values::ValueSelection>(loadedPath);
    QStringList failures;
    if (!window.menuBar()->findChild<QMenu*>(QStringLiteral("File")))
        failures << QStringLiteral("the frame has no File menu");
    if (window.toolBarArea(window.m_replayBar) != Qt::TopToolBarArea)
        failures << QStringLiteral("the replay bar is not in the top tool-bar area");
    if (window.findChild<QSplitter*>()->indexOf(window.m_infoBar) < 0)
        failures << QStringLiteral("the information panel is not in the splitter");
    if (!loaded || loaded->GetStringValue() != QLatin1String("Off"))
        failures << loadedPath + QStringLiteral(" is not in the value tree as Off");
    QTextStream(failures.isEmpty() ? stdout : stderr)
        << (failures.isEmpty() ? QStringLiteral("OK") : "FAILED: " + failures.join("; ")) << '\n';
    return failures.isEmpty() ? 0 : 1;
}
