#include "cframemainwnd.h"

#include "cpersistantstringlist.h"
#include "csettings.h"
#include "framestate_p.h"
#include "framevalues_p.h"
#include "pictures_p.h"
#include "tevvaluenames.h"

#include <dialogs/talvohelpmenu.h>
#include <guicentral/guicentral.h>
#include <startup/cfgcenter.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <memory>

using FrameValues::deleteValue;
using FrameValues::findOrCreateStringValue;
using FrameValues::releaseValue;

namespace {
#include "pictures/fileopen.xpm"
#include "pictures/fileopen@2x.xpm"
#include "pictures/filesaveas.xpm"
#include "pictures/filesaveas@2x.xpm"

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
    // A recording dropped anywhere onto the window opens as if chosen in the open dialog.
    setAcceptDrops(true);
    FrameState::of(this);

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
    // After the bars: the stored layout places the front end's tool bars and docks too.
    FrameState::of(this)->restoreLayout();
    if (show) {
        setWindowTitle(m_appName);
        this->show();
    }
}

void CFrameMainWnd::initSettings()
{
    m_settings = new CSettings(QStringLiteral("Settings"), this);
    FrameState::of(this)->addLayoutKeys(m_settings);
    readOptions();
}

void CFrameMainWnd::initToolBars()
{
    initMainBar();
}

void CFrameMainWnd::initMainBar()
{
    m_mainToolBar = new QToolBar(QStringLiteral("File Operations"), this);
    m_mainToolBar->setObjectName(QStringLiteral("File Operations"));
    addToolBar(m_mainToolBar);

    m_openAction
        = new QAction(Pictures::icon(fileopen_xpm, fileopen_2x_xpm), tr("&Open File"), this);
    m_openAction->setObjectName(QStringLiteral("Open File"));
    // Kept translatable as the frame has always had them; a translation must stay a key
    // sequence Qt can parse without its own catalogue, so the German one keeps "Ctrl".
    m_openAction->setShortcut(QKeySequence(tr("Ctrl+O"), QKeySequence::NativeText));
    m_openAction->setStatusTip(tr("Open an existing file"));
    connect(m_openAction, SIGNAL(triggered()), this, SLOT(slotLoad()));

    m_saveAsAction = new QAction(
        Pictures::icon(filesaveas_xpm, filesaveas_2x_xpm), tr("&Save as file..."), this);
    m_saveAsAction->setObjectName(QStringLiteral("Save as file"));
    m_saveAsAction->setShortcut(QKeySequence(tr("Ctrl+A"), QKeySequence::NativeText));
    m_saveAsAction->setStatusTip(tr("Save as file..."));
    connect(m_saveAsAction, SIGNAL(triggered()), this, SLOT(slotSaveAs()));

    m_mainToolBar->addAction(m_openAction);
    m_mainToolBar->addAction(m_saveAsAction);
    m_saveAsAction->setEnabled(false);

    insertMainToolBarItems();
    m_mainToolBar->addSeparator();
    insertMainBar();
    insertMainBarHelpText();
}

void CFrameMainWnd::initMenuBar()
{
    menuBar()->setObjectName(QStringLiteral("MenuBar"));
    m_fileMenu = menuBar()->addMenu(tr("File"));
    m_fileMenu->setObjectName(QStringLiteral("File"));
    m_fileMenu->addAction(m_openAction);
    m_fileMenu->addAction(m_saveAsAction);
    insertFileMenuItems();
    m_fileMenu->addSeparator();

    m_exitAction = new QAction(tr("Exit"), this);
    m_exitAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(m_exitAction, SIGNAL(triggered()), this, SLOT(slotQuit()));
    m_fileMenu->addAction(m_exitAction);

    insertMenus();
    menuBar()->addSeparator();

    QString helpFile;
    std::unique_ptr<ICfg> cfg(CfgCenter::CreateCfg(m_cfgName, ICfg::FrontEndView, QString()));
    if (cfg)
        helpFile = cfg->ReadString(QStringLiteral("HelpFile"), QString(), 0);
    menuBar()->addMenu(new TalvoHelpMenu(helpFile, this));

    m_firstRecentId = m_fileMenu->actions().size();
    if (m_settings && !m_settings->recentFiles().isEmpty())
        updateRecentFilesMenu();

    // The Exit entry carries Alt+F4 too; the hot key only lists it, onHotKey passes it on.
    GuiCentral::Instance().AddHotKey(Qt::Key_F4, Qt::AltModifier, this, tr("Quit Application"),
        GuiCentral::tr("Application Wide"), true, true);
}

void CFrameMainWnd::initStatusBar()
{
    m_statusLabel = new QLabel(QStringLiteral("Idle"), statusBar());
    statusBar()->addPermanentWidget(m_statusLabel, 0);
    statusBar()->showMessage(QStringLiteral("Ready"), 2000);
}

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
    FrameState::of(this)->storeLayout();
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

void CFrameMainWnd::enableFileMenu(bool enable)
{
    if (m_exitAction)
        m_exitAction->setEnabled(enable);
    if (m_openAction)
        m_openAction->setEnabled(enable);
    for (int id = m_firstRecentId; id < m_firstRecentId + CPersistantStringList::iMAX_ITEMS; ++id) {
        if (QAction* entry = GetActionFromMenu(m_fileMenu, id))
            entry->setEnabled(enable);
    }
}

bool CFrameMainWnd::onHotKey(int id)
{
    if (id != m_helpHotKeyId)
        return false;
    GuiCentral::Instance().ExecHotKeysDialog(this);
    return true;
}

void CFrameMainWnd::setRememberLayout(bool remember)
{
    FrameState::of(this)->setRememberLayout(remember);
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

void CFrameMainWnd::slotQuit()
{
    // An open or save still runs below this call (its wait for the archive or a box processes
    // events): ending now would leave it on a deleted frame; the quit follows when it returns.
    FrameState* state = FrameState::of(this);
    if (state->isBusy()) {
        state->deferQuit();
        return;
    }
    // The window deletes itself once closed, and its destructor writes the options.
    close();
    QCoreApplication::exit(0);
}

QAction* CFrameMainWnd::GetActionFromMenu(QMenu* menu, int id)
{
    if (!menu || id < 0)
        return nullptr;
    for (QAction* action : menu->actions()) {
        const QVariant data = action->data();
        if (data.isValid() && data.toInt() == id)
            return action;
    }
    return nullptr;
}
