// A front end built against the installed package only: a window derived from the frame, with
// the replay bar. Prints OK and exits 0 when everything is in place.

#include <values/tree.h>
#include <values/valueselection.h>

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cframemainwnd.h>
#include <cinfobar.h> // installed, and usable without more includes
#include <creplaybar.h>
#include <tevvaluenames.h>

// Its override is called through the frame's virtual table as the installed header lays it out.
class ConsumerWindow : public CFrameMainWnd
{
public:
    using CFrameMainWnd::CFrameMainWnd;
    void insertMainBar() override
    {
        m_replayBar = new CReplayBar(this, "Replay Operations", m_valueRoot);
        m_replayBar->addDockWindow();
    }
    CReplayBar* m_replayBar = nullptr;
};

int main(int argc, char* argv[])
{
    // Nothing of a real configuration may be read or written.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir configDir;
    qputenv("TEV_CONFIG_DIR", QFile::encodeName(configDir.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("consumer"));
    // The frame takes its names by reference, as its users do.
    QString name = "Consumer", cfg = "consumer", root = "/Consumer";
    ConsumerWindow window(name, cfg, root);
    window.initialize(false);
    auto* loaded = values::Tree::Instance()->Find<values::ValueSelection>(
        QStringLiteral("/Consumer/") + TevValueNames::FileLoaded);
    const QString found = QString::number(window.toolBarArea(window.m_replayBar)) + ' '
        + (loaded ? loaded->GetStringValue() : QString());
    const bool ok = found == QString::number(Qt::TopToolBarArea) + " Off";
    QTextStream(ok ? stdout : stderr) << (ok ? QStringLiteral("OK") : "FAILED: " + found) << '\n';
    return ok ? 0 : 1;
}
