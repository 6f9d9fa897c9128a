#include "cframemainwnd.h"

#include "csettings.h"
#include "framevalues_p.h"
#include "tevvaluenames.h"

#include <guicentral/guicentral.h>
#include <startup/cfgcenter.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QCoreApplication>
#include <QFrame>
#include <QSplitter>
#include <QVBoxLayout>

#include <memory>

using FrameValues::deleteValue;
using FrameValues::findOrCreateStringValue;
using FrameValues::releaseValue;

namespace {
const QString kDefaultFolder = QStringLiteral("c:\\temp");
const QString kFileScheme = QStringLiteral("file:");
} // namespace

CFrameMainWnd::CFrameMainWnd(QString& appName, QString& cfgName, QString& valueRoot)
    : QMainWindow(nullptr)
    , m_appName(appName)
    , m_helpHotKeyId(0)
    , m_displayHotKeysId(0)
    , m_resultPanelHotKeyId(0)
    , m_openAction(nullptr)
    , m_saveAsAction(nullptr)
    , m_statusLabel(nullptr)
    , m_fileMenu(nullptr)
    , m_settings(nullptr)
    , m_mainToolBar(nullptr)
    , m_splitter(nullptr)
    , m_fileOpenPath(kDefaultFolder)
    , m_recordingPath(kDefaultFolder)
    , m_cfgName(cfgName)
    , m_valueRoot(valueRoot)
    , m_exitAction(nullptr)
    , m_reportPath(kDefaultFolder)
    , m_fileLoaded(nullptr)
    , m_fileName(nullptr)
    , m_firstRecentId(0)
{
    setObjectName(QStringLiteral("Frame Application V2.0"));
    setAttribute(Qt::WA_DeleteOnClose);

    if (!cfgName.isEmpty()) {
        std::unique_ptr<ICfg> cfg(CfgCenter::CreateCfg(cfgName, ICfg::FrontEndView, QString()));
        if (cfg) {
            m_fileOpenPath = cfg->ReadString(QStringLiteral("RecordingPath"), kDefaultFolder, 0);
            m_recordingPath = m_fileOpenPath;
            m_reportPath = cfg->ReadString(QStringLiteral("ReportPath"), kDefaultFolder, 0);
        }
    }

    GuiCentral& hotKeys = GuiCentral::Instance();
    const QString group = GuiCentral::tr("Application Wide");
    m_helpHotKeyId = hotKeys.AddHotKey(
        Qt::Key_F1, Qt::NoModifier, this, tr("Help Contents"), group, true, true);
    m_displayHotKeysId = hotKeys.AddHotKey(
        Qt::Key_F1, Qt::ShiftModifier, this, tr("Display Hotkeys"), group, true, true);
    m_resultPanelHotKeyId = hotKeys.AddHotKey(
        Qt::Key_Space, Qt::NoModifier, this, tr("Toggle Result Panel"), group, true, true);

    // "FileLoaded": a selection "On"/"Off", or the one another frame of this root made before.
    values::Tree* tree = values::Tree::Instance();
    m_fileLoaded = new values::ValueSelection(
        QString::fromLatin1(TevValueNames::FileLoaded), values::VS_Valid);
    m_fileLoaded->AddItem(new values::SelectionItem(QStringLiteral("On"), 0.0, 1), nullptr);
    m_fileLoaded->AddItem(new values::SelectionItem(QStringLiteral("Off"), 0.0, 0), nullptr);
    m_fileLoaded->Select(QStringLiteral("Off"), nullptr);
    m_fileLoaded->AddObserver(this);
    if (!tree || !tree->AddValue(m_valueRoot, m_fileLoaded)) {
        deleteValue(m_fileLoaded);
        if (tree) {
            m_fileLoaded = tree->Find<values::ValueSelection>(
                m_valueRoot + QLatin1Char('/') + QLatin1String(TevValueNames::FileLoaded));
        }
        if (m_fileLoaded)
            m_fileLoaded->AddObserver(this);
    }

    m_fileName = findOrCreateStringValue(
        m_valueRoot + QLatin1Char('/') + QLatin1String(TevValueNames::FileName), nullptr);
    m_fileName->SetValue(QStringLiteral("No File Loaded"), nullptr);
    m_fileName->AddObserver(this);
}

CFrameMainWnd::~CFrameMainWnd()
{
    if (m_fileLoaded)
        m_fileLoaded->DeleteObserver(this);
    if (m_fileName) {
        m_fileName->DeleteObserver(this);
        // A "FileName" that the tree refused (the path holds a value of another type) is seen
        // by nobody but this frame; deleting it ends the leak the creation traced.
        if (m_fileName->GetPath().isEmpty())
            deleteValue(m_fileName);
    }

    if (m_settings) {
        // Only the frame's own version: a derived window's part is gone already.
        CFrameMainWnd::saveOptions();
        delete m_settings;
        m_settings = nullptr;
    }
}

void CFrameMainWnd::initialize(bool show)
{
    initSettings();
    initToolBars();
    initMenuBar();
    initSplitterWindow();
    initStatusBar();
    if (show) {
        setWindowTitle(m_appName);
        this->show();
    }
}

void CFrameMainWnd::initSettings()
{
    m_settings = new CSettings(QStringLiteral("Settings"), this);
    readOptions();
}

void CFrameMainWnd::initToolBars()
{
    initMainBar();
}

void CFrameMainWnd::initMainBar() { }

void CFrameMainWnd::initMenuBar() { }

void CFrameMainWnd::initStatusBar() { }

void CFrameMainWnd::readOptions()
{
    if (!m_settings)
        return;
    m_settings->read(QString());
    if (!m_settings->fileOpenPath().isEmpty()) {
        m_fileOpenPath = m_settings->fileOpenPath();
    } else {
        QString folder = m_fileOpenPath;
        m_fileOpenPath = kFileScheme + folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
}

void CFrameMainWnd::saveOptions()
{
    if (!m_settings)
        return;
    if (!m_fileOpenPath.isEmpty())
        m_settings->fileOpenPath() = m_fileOpenPath;
    m_settings->write(QString());
}

void CFrameMainWnd::initSplitterWindow()
{
    auto* panel = new QFrame;
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    panel->setLayout(layout);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setCentralWidget(panel);

    m_splitter = new QSplitter(Qt::Horizontal);
    layout->addWidget(m_splitter, 0);
}

void CFrameMainWnd::insertMenus() { }

void CFrameMainWnd::insertMainBar() { }

void CFrameMainWnd::insertMainBarHelpText() { }

QString CFrameMainWnd::openFileDialog(QString&)
{
    return QString();
}

QString CFrameMainWnd::saveAsFileDialog(QString&)
{
    return QString();
}

void CFrameMainWnd::enableFileMenu(bool) { }

bool CFrameMainWnd::onHotKey(int)
{
    return false;
}

void CFrameMainWnd::ApplyPersistantBeforeWrite() { }

void CFrameMainWnd::ApplyPersistantAfterRead() { }

void CFrameMainWnd::Update(Observable* observable, TChangeCode code)
{
    if (code != CC_Ending)
        return;
    if (m_fileLoaded && observable == static_cast<Observable*>(m_fileLoaded)) {
        releaseValue(m_fileLoaded, this);
        return;
    }
    if (m_fileName && observable == static_cast<Observable*>(m_fileName))
        releaseValue(m_fileName, this);
}

void CFrameMainWnd::insertFileMenuItems() { }

void CFrameMainWnd::insertMainToolBarItems() { }

bool CFrameMainWnd::load(const QString& fileName, const QString& displayName, bool)
{
    setWindowTitle(
        QStringLiteral("%1 - [%2]").arg(m_appName, displayName.isEmpty() ? fileName : displayName));
    return false;
}

void CFrameMainWnd::save(const QString&) { }

void CFrameMainWnd::fileOpenRecent() { }

void CFrameMainWnd::slotLoad() { }

void CFrameMainWnd::slotSaveAs() { }

void CFrameMainWnd::slotQuit() { }
