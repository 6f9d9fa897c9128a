// A front end built against the installed package only: a window derived from the frame, with
// the replay bar and the information panel. Prints OK and exits 0 when everything is in place.

#include <values/tree.h>
#include <values/valueselection.h>

#include <QApplication>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cframemainwnd.h>
#include <cinfobar.h>
#include <creplaybar.h>
#include <tevvaluenames.h>

// Its overrides are called through the frame's virtual table as the installed header lays it out.
class ConsumerWindow : public CFrameMainWnd
{
public:
    using CFrameMainWnd::CFrameMainWnd;
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
    auto* loaded = values::Tree::Instance()->Find<values::ValueSelection>(
        QStringLiteral("/Consumer/") + TevValueNames::FileLoaded);
    // 1 each for: the replay bar on top, the panel in the splitter, the value "Off" in the tree.
    const QString found
        = QStringLiteral("%1%2%3")
              .arg(int(window.toolBarArea(window.m_replayBar) == Qt::TopToolBarArea))
              .arg(int(window.findChild<QSplitter*>()->indexOf(window.m_infoBar) >= 0))
              .arg(int(loaded && loaded->GetStringValue() == QLatin1String("Off")));
    const bool ok = found == QLatin1String("111");
    QTextStream(ok ? stdout : stderr) << (ok ? QStringLiteral("OK") : "FAILED: " + found) << '\n';
    return ok ? 0 : 1;
}
