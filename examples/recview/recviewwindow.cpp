#include "recviewwindow.h"

#include "sweepplot.h"

#include <dialogs/talvohelpmenu.h>
#include <guicentral/guicentral.h>
#include <mirel/mirelclient.h>
#include <startup/translationcenter.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <creplaybar.h>
#include <csettings.h>
#include <limits>
#include <valueselmenu.h>

// Outside any namespace, as Q_INIT_RESOURCE requires: the catalogue lives in this static
// library, and only a reference from code that is linked keeps it in the program.
static void initTranslationResources()
{
    Q_INIT_RESOURCE(recview_translations);
}

namespace {
const QString kUnitName = QStringLiteral("FreqUnit");
const QString kArchivePrefix = QStringLiteral("mirel:");
const char* const kUnitTexts[] = { "MHz", "kHz", "Hz" };

// The Replay menu: each entry presses the bar button of that name. None of the keys is one of
// the frame's (F1, Shift+F1, Space, Alt+F4, Ctrl+O, Ctrl+A) or a menu mnemonic (Alt+letter).
struct ReplayCommand
{
    const char* button; // the bar button's object name
    const char* text;
    Qt::Key key;
    unsigned modifiers; // Qt::KeyboardModifier bits, as GuiCentral takes them
    bool separatorBefore;
};
const ReplayCommand kReplayCommands[] = {
    { "Play", QT_TRANSLATE_NOOP("RecViewWindow", "&Play / Pause"), Qt::Key_P, Qt::ControlModifier,
        false },
    { "Fast Play", QT_TRANSLATE_NOOP("RecViewWindow", "&Fast Play"), Qt::Key_F, Qt::ControlModifier,
        false },
    { "Stop", QT_TRANSLATE_NOOP("RecViewWindow", "&Stop"), Qt::Key_Escape, Qt::NoModifier, false },
    { "Step Rewind", QT_TRANSLATE_NOOP("RecViewWindow", "Step &Back"), Qt::Key_Left, Qt::NoModifier,
        true },
    { "Step Forward", QT_TRANSLATE_NOOP("RecViewWindow", "Step F&orward"), Qt::Key_Right,
        Qt::NoModifier, false },
    { "Goto Begin", QT_TRANSLATE_NOOP("RecViewWindow", "Go to &Begin"), Qt::Key_Home,
        Qt::NoModifier, true },
    { "Goto End", QT_TRANSLATE_NOOP("RecViewWindow", "Go to &End"), Qt::Key_End, Qt::NoModifier,
        false },
};

// The level-detect threshold of a recording: well above its typical level, so that only the
// peaks cross it. The median of the first sweep stands for the noise floor.
float defaultThreshold(const Recording2::CSweep* first)
{
    if (!first || first->levels.isEmpty())
        return -60.0f;
    QVector<float> levels = first->levels;
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    return std::round(levels.at(levels.size() / 2) + 20.0f);
}

// The width a line edit needs to show `text` whole, worked out as QLineEdit::sizeHint does.
int widthToShow(const QLineEdit* field, const QString& text)
{
    constexpr int kLineEditMargin = 2; // QLineEdit's own margin on either side of the text
    const QMargins textMargins = field->textMargins();
    const QMargins contentsMargins = field->contentsMargins();
    const QFontMetrics metrics = field->fontMetrics();
    const QSize contents(metrics.horizontalAdvance(text) + 2 * kLineEditMargin + textMargins.left()
            + textMargins.right() + contentsMargins.left() + contentsMargins.right()
            + 1, // the cursor
        metrics.height());
    QStyleOptionFrame option;
    option.initFrom(field);
    option.rect = field->rect();
    option.lineWidth
        = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
    return field->style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, field).width();
}

QString withoutMnemonic(QString text)
{
    return text.replace(QLatin1String("&&"), QLatin1String("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}
} // namespace

RecViewWindow::RecViewWindow(QString appName, QString cfgName, QString valueRoot)
    : CFrameMainWnd(appName, cfgName, valueRoot)
    , m_engine(std::make_unique<ReplayEngine>(valueRoot))
{
    setObjectName(QStringLiteral("RecViewWindow"));
    createUnitValue();
    connect(m_engine.get(), &ReplayEngine::frameChanged, this, &RecViewWindow::showFrame);
    connect(
        m_engine.get(), &ReplayEngine::displayChanged, this, &RecViewWindow::showDisplayOptions);
    connect(m_engine.get(), &ReplayEngine::modeChanged, this, &RecViewWindow::showReplayState);
    connect(m_engine.get(), &ReplayEngine::sweepCountChanged, this, &RecViewWindow::showGrowth);
    connect(m_engine.get(), &ReplayEngine::replayCut, this, &RecViewWindow::showCut);
}

RecViewWindow::~RecViewWindow()
{
    // The menu writes the persistent unit while it still holds the value: delete it first.
    delete m_viewMenu;
    m_viewMenu = nullptr;
    if (m_unit) {
        m_unit->DeleteObserver(this);
        values::Tree* tree = values::Tree::Instance();
        if (m_unitAdded && tree)
            tree->RemoveValue(m_unit->GetPath());
        m_unit = nullptr;
    }
    // Before the bar's buttons go, so that they hear the end of the values they are bound to.
    m_engine.reset();
}

void RecViewWindow::installTranslations()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    initTranslationResources();
    TranslationCenter::Instance().Register(QStringLiteral("recview"));
}

QString RecViewWindow::version()
{
    return QStringLiteral(RECVIEW_VERSION);
}

void RecViewWindow::createUnitValue()
{
    values::Tree* tree = values::Tree::Instance();
    auto* unit = new values::ValueSelection(kUnitName, values::VS_Valid);
    for (long key = CInfoBar::eMHz; key <= CInfoBar::eHz; ++key)
        unit->AddItem(new values::SelectionItem(QLatin1String(kUnitTexts[key]), 0.0, key));
    unit->Select(long(CInfoBar::eMHz));
    if (tree && tree->AddValue(m_valueRoot, unit)) {
        m_unitAdded = true;
    } else {
        delete unit;
        unit = tree ? tree->Find<values::ValueSelection>(m_valueRoot + QLatin1Char('/') + kUnitName)
                    : nullptr;
    }
    m_unit = unit;
    if (m_unit)
        m_unit->AddObserver(this);
}

void RecViewWindow::initMenuBar()
{
    CFrameMainWnd::initMenuBar();

    // The frame builds the help menu; the viewer's own About goes beside "About Qt".
    if (auto* help = findChild<TalvoHelpMenu*>()) {
        m_aboutAction = new QAction(tr("&About Recording Viewer"), this);
        m_aboutAction->setObjectName(QStringLiteral("About Recording Viewer"));
        m_aboutAction->setMenuRole(QAction::AboutRole);
        connect(m_aboutAction, &QAction::triggered, this, &RecViewWindow::showAbout);
        help->insertAction(help->aboutQtAction(), m_aboutAction);
    }

    // Listed only: the menu entries deliver the keys, so the handler lets them pass.
    const QString group = tr("Replay");
    for (const ReplayCommand& command : kReplayCommands) {
        m_replayHotKeyIds << GuiCentral::Instance().AddHotKey(command.key, command.modifiers, this,
            withoutMnemonic(tr(command.text)), group, false, true);
    }
}

void RecViewWindow::initSplitterWindow()
{
    CFrameMainWnd::initSplitterWindow();
    m_splitter->setOrientation(Qt::Vertical);
    m_infoBar = new CInfoBar(nullptr, nullptr, "File Info");
    m_infoBar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The panel's grid spreads its columns over the whole width, which tears each label from
    // its field; an empty last column takes the room instead.
    if (auto* grid = qobject_cast<QGridLayout*>(m_infoBar->layout()))
        grid->setColumnStretch(grid->columnCount(), 1);
    const QLineEdit* fields[] = { m_infoBar->deviceName(), m_infoBar->deviceType(),
        m_infoBar->starttime(), m_infoBar->stoptime(), m_infoBar->freqmin(), m_infoBar->freqmax() };
    for (size_t i = 0; i < m_libraryFieldWidths.size(); ++i)
        m_libraryFieldWidths[i] = fields[i]->minimumWidth();
    m_plot = new SweepPlot;
    m_splitter->addWidget(m_infoBar);
    m_splitter->addWidget(m_plot);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setCollapsible(1, false);
    showDisplayOptions();
    if (!m_hasRecording)
        showNoRecording();
}

void RecViewWindow::initStatusBar()
{
    CFrameMainWnd::initStatusBar();
    m_warningLabel = new QLabel(statusBar());
    m_warningLabel->setObjectName(QStringLiteral("Warning"));
    QPalette warningColours = m_warningLabel->palette();
    warningColours.setColor(QPalette::WindowText, QColor(176, 0, 0));
    m_warningLabel->setPalette(warningColours);
    m_readoutLabel = new QLabel(statusBar());
    m_readoutLabel->setObjectName(QStringLiteral("Readout"));
    for (QLabel* label : { m_warningLabel, m_readoutLabel }) {
        statusBar()->addWidget(label, label == m_readoutLabel ? 1 : 0);
        // Added while the frame's "Ready" shows, the label is hidden as if by hand, and the
        // status bar would never show it again; hidden by the status bar itself, it comes
        // back when a message goes.
        label->setAttribute(Qt::WA_WState_ExplicitShowHide, false);
    }
    showReplayState();
}

void RecViewWindow::insertMenus()
{
    m_viewMenu = new ValueSelMenu;
    m_viewMenu->setTitle(tr("&View"));
    m_viewMenu->setObjectName(QStringLiteral("View"));
    const QString unitTexts[]
        = { tr("Frequencies in MHz"), tr("Frequencies in kHz"), tr("Frequencies in Hz") };
    for (int key = CInfoBar::eMHz; key <= CInfoBar::eHz; ++key) {
        m_viewMenu->InsertItem(unitTexts[key], key);
        m_viewMenu->SetSelection_ValuePath(
            key, m_valueRoot + QLatin1Char('/'), kUnitName, QLatin1String(kUnitTexts[key]));
    }
    // Persistence belongs to the selection, not the entry: one entry reads and writes it.
    m_viewMenu->SetPersistant(CInfoBar::eMHz, CInfoBar::eMHz);
    for (int key = CInfoBar::eMHz; key <= CInfoBar::eHz; ++key)
        m_viewMenu->SetCheckable(key);
    // One unit at a time: an exclusive group draws the entries as radio items.
    m_unitGroup = new QActionGroup(m_viewMenu);
    m_unitGroup->setExclusive(true);
    for (QAction* entry : m_viewMenu->actions())
        m_unitGroup->addAction(entry);
    menuBar()->addMenu(m_viewMenu);

    m_replayMenu = menuBar()->addMenu(tr("&Replay"));
    m_replayMenu->setObjectName(QStringLiteral("Replay"));
    for (const ReplayCommand& command : kReplayCommands) {
        if (command.separatorBefore)
            m_replayMenu->addSeparator();
        QAction* action = m_replayMenu->addAction(tr(command.text));
        const QString button = QLatin1String(command.button);
        action->setObjectName(button);
        action->setShortcut(QKeySequence(int(command.modifiers | command.key)));
        action->setEnabled(m_hasRecording);
        // Through the button, as a click: the same road, and a disabled button stays dead.
        connect(action, &QAction::triggered, this, [this, button] {
            auto* target = m_replayBar ? m_replayBar->findChild<QAbstractButton*>(button) : nullptr;
            if (target && target->isEnabled())
                target->click();
        });
        if (auto* target
            = m_replayBar ? m_replayBar->findChild<QAbstractButton*>(button) : nullptr) {
            target->setToolTip(QStringLiteral("%1 (%2)").arg(
                target->toolTip(), action->shortcut().toString(QKeySequence::NativeText)));
        }
    }
}

void RecViewWindow::insertMainBar()
{
    m_replayBar = new CReplayBar(this, "Replay Operations", m_engine->valuePrefix());
    m_replayBar->setObjectName(QStringLiteral("Replay Operations"));
    m_replayBar->addDockWindow();
    m_replayBar->enableAction(m_hasRecording);
}

bool RecViewWindow::onHotKey(int id)
{
    if (id == m_resultPanelHotKeyId) {
        if (!m_infoBar || !keysAreForThisWindow())
            return false;
        const bool hide = !m_infoBar->isHidden();
        m_infoBar->setHidden(hide);
        if (hide)
            statusBar()->showMessage(tr("Information panel hidden; Space shows it again"), 3000);
        else
            statusBar()->clearMessage();
        return true;
    }
    if (id == m_displayHotKeysId || id == m_helpHotKeyId) {
        // Shown from the event loop, not from inside the key's delivery: a dialog run in here
        // takes the key's release, after which the hot-key service offers the key press that
        // follows once more, and a second list opens when the first one closes. A press while
        // the list is open would stack a second one on it.
        const QWidget* modal = QApplication::activeModalWidget();
        if (!m_hotKeyListPending
            && (!modal || modal->objectName() != QLatin1String("HotKeysDialog"))) {
            m_hotKeyListPending = true;
            QTimer::singleShot(0, this, [this] {
                m_hotKeyListPending = false;
                GuiCentral::Instance().ExecHotKeysDialog(this);
            });
        }
        return true;
    }
    return CFrameMainWnd::onHotKey(id);
}

bool RecViewWindow::keysAreForThisWindow() const
{
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()
        || QApplication::activeWindow() != this)
        return false;
    // Text input (an editable line edit, a spin box) enables input methods; Space is the
    // user's there.
    const QWidget* focus = QApplication::focusWidget();
    return !(focus && focus->testAttribute(Qt::WA_InputMethodEnabled));
}

QList<QAction*> RecViewWindow::replayActions() const
{
    QList<QAction*> actions;
    if (m_replayMenu) {
        for (QAction* action : m_replayMenu->actions()) {
            if (!action->isSeparator())
                actions << action;
        }
    }
    return actions;
}

QString RecViewWindow::warning() const
{
    return m_warningLabel ? m_warningLabel->text() : QString();
}

QString RecViewWindow::readout() const
{
    return m_readoutLabel ? m_readoutLabel->text() : QString();
}

CInfoBar::eUnit RecViewWindow::frequencyUnit() const
{
    const long key = m_unit ? m_unit->GetCurrentKey() : long(CInfoBar::eMHz);
    return key >= CInfoBar::eMHz && key <= CInfoBar::eHz ? CInfoBar::eUnit(key) : CInfoBar::eMHz;
}

void RecViewWindow::Update(Observable* observable, TChangeCode code)
{
    if (!m_unit || observable != static_cast<Observable*>(m_unit)) {
        CFrameMainWnd::Update(observable, code);
        return;
    }
    if (code == CC_Ending && m_unit->GetState() == values::VS_Ending) {
        m_unit->DeleteObserver(this);
        m_unit = nullptr;
        m_unitAdded = false;
    } else if (code == CC_Changed) {
        showHeader();
        showFrame(m_engine->currentIndex());
    }
}

bool RecViewWindow::openFile(const QString& nameOrUrl)
{
    if (nameOrUrl.startsWith(kArchivePrefix, Qt::CaseInsensitive)) {
        if (!Mirel::MirelClient::IsMirelAvailable()) {
            reportLoadError(nameOrUrl,
                tr("no archive is configured (set TEV_MIREL_SERVER or \"Server\" in the "
                   "\"Mirel\" group of the application configuration)"));
            return false;
        }
        // The frame fetches archive recordings from its recent-file entries: put the URL there
        // and open it as if it had been picked from the File menu.
        updateRecentFiles(nameOrUrl);
        const int index = m_settings ? m_settings->recentFiles().indexOf(nameOrUrl) : -1;
        for (QAction* entry : m_fileMenu ? m_fileMenu->actions() : QList<QAction*>()) {
            bool isId = false;
            if (index >= 0 && entry->data().toInt(&isId) == m_firstRecentId + index && isId) {
                entry->trigger();
                return m_hasRecording && m_currentFile == nameOrUrl;
            }
        }
        reportLoadError(nameOrUrl, tr("the recent-files menu has no room for the entry"));
        return false;
    }

    const bool loaded = load(nameOrUrl, QString(), true);
    if (m_fileName)
        m_fileName->SetValue(nameOrUrl, nullptr);
    if (m_fileLoaded)
        m_fileLoaded->Select(QLatin1String(loaded ? "On" : "Off"), nullptr);
    return loaded;
}

bool RecViewWindow::load(const QString& fileName, const QString& displayName, bool isLocal)
{
    const QString shownName = displayName.isEmpty() ? fileName : displayName;
    auto reader = std::make_unique<Recording2::CRecordingReader>();
    QString error;
    // The reader opens a file cut short; one without a single complete sweep has nothing to
    // show.
    const bool opened = reader->open(fileName, &error);
    if (opened && reader->sweepCount() == 0 && reader->announcedSweepCount() > 0)
        error = reader->truncationText();
    if (!opened || !error.isEmpty()) {
        m_lastError = error;
        reportLoadError(shownName, error);
        return false;
    }

    m_lastError.clear();
    m_header = reader->header();
    m_hasRecording = true;
    // An archive recording is known by its URL: the local copy is the cache's, and save as
    // fetches the URL again.
    m_currentFile = isLocal ? fileName : shownName;
    CFrameMainWnd::load(fileName, displayName, isLocal); // the title
    updateRecentFiles(m_currentFile);
    if (m_saveAsAction)
        m_saveAsAction->setEnabled(true);
    if (m_infoBar)
        m_infoBar->enabled(true);
    enableReplay(true);
    statusBar()->clearMessage();

    // The level axis starts from the first sweep and widens as louder ones are shown: the
    // other sweeps are read only when they are shown.
    m_levelLow = std::numeric_limits<double>::infinity();
    m_levelHigh = -m_levelLow;
    if (m_plot) {
        m_plot->setMessage(QString());
        m_plot->setFrequencyRange(m_header.freqMin(), m_header.freqMax());
    }
    showHeader();
    m_engine->setRecording(std::move(reader));
    m_engine->setLevelThreshold(defaultThreshold(m_engine->currentSweep()));
    showWarning();
    showDisplayOptions();
    showReplayState();
    return true;
}

void RecViewWindow::showWarning()
{
    const Recording2::CRecordingReader* reader = m_engine->reader();
    if (!m_warningLabel)
        return;
    // The reader knows how many sweeps are complete; a file still being written shows how far
    // it has come.
    m_warningLabel->setText(reader && !reader->truncationText().isEmpty()
            ? tr("Recording cut short: %1 of %2 sweeps")
                  .arg(reader->sweepCount())
                  .arg(reader->announcedSweepCount())
            : QString());
}

void RecViewWindow::showGrowth()
{
    // A writer may have raised the count and the stop time in the header.
    if (const Recording2::CRecordingReader* reader = m_engine->reader(); reader && m_hasRecording) {
        m_header = reader->header();
        showHeader();
    }
    showWarning();
    showFrame(m_engine->currentIndex());
}

void RecViewWindow::showCut(int sweepsLeft, const QString& reason)
{
    QString message;
    if (!reason.isEmpty())
        message = tr("The replay stopped: %1").arg(reason);
    else if (sweepsLeft > 0)
        message = tr("The recording shrank while shown: the replay ends at its last complete "
                     "sweep, %1")
                      .arg(sweepsLeft);
    else
        message = tr("The recording shrank while shown: no complete sweep is left");
    // A temporary message: the labels it covers come back when it goes.
    statusBar()->showMessage(message, 10000);
}

void RecViewWindow::widenLevelRange(const QVector<float>& levels)
{
    if (!m_plot || levels.isEmpty())
        return;
    const auto [lowest, highest] = std::minmax_element(levels.cbegin(), levels.cend());
    const double low = std::min(m_levelLow, std::floor(double(*lowest) / 10.0) * 10.0);
    const double high = std::max(m_levelHigh, std::ceil(double(*highest) / 10.0) * 10.0 + 10.0);
    if (!std::isfinite(low) || !std::isfinite(high) || (low == m_levelLow && high == m_levelHigh))
        return;
    m_levelLow = low;
    m_levelHigh = high;
    m_plot->setLevelRange(low, high);
}

void RecViewWindow::reportLoadError(const QString& name, const QString& reason)
{
    if (!m_interactive) {
        QTextStream(stderr) << "Cannot open " << name << ": " << reason << '\n';
        return;
    }
    QMessageBox::warning(this, tr("Recording Error"),
        tr("The recording %1 cannot be shown:\n%2").arg(name, reason), QMessageBox::Ok);
}

void RecViewWindow::enableReplay(bool enable)
{
    if (m_replayBar)
        m_replayBar->enableAction(enable);
    for (QAction* action : replayActions())
        action->setEnabled(enable);
}

void RecViewWindow::showHeader()
{
    const QString unit = QLatin1String(kUnitTexts[frequencyUnit()]);
    if (m_infoBar && m_hasRecording) {
        m_infoBar->setHeaderData(&m_header, frequencyUnit());
        // The panel prints the float's every digit (2483.500032 MHz); show what was recorded.
        m_infoBar->setFreqmin(
            SweepPlot::frequencyNumber(m_header.freqMin(), unit) + QLatin1Char(' ') + unit);
        m_infoBar->setFreqmax(
            SweepPlot::frequencyNumber(m_header.freqMax(), unit) + QLatin1Char(' ') + unit);
        fitInfoFields();
    }
    if (m_plot)
        m_plot->setFrequencyUnit(unit);
}

void RecViewWindow::fitInfoFields()
{
    QLineEdit* const fields[] = { m_infoBar->deviceName(), m_infoBar->deviceType(),
        m_infoBar->starttime(), m_infoBar->stoptime(), m_infoBar->freqmin(), m_infoBar->freqmax() };
    for (size_t i = 0; i < m_libraryFieldWidths.size(); ++i) {
        QLineEdit* field = fields[i];
        field->setFixedWidth(std::max(m_libraryFieldWidths[i], widthToShow(field, field->text())));
        field->setCursorPosition(0);
    }
}

void RecViewWindow::showFrame(int index)
{
    const Recording2::CSweep* sweep = m_engine->currentSweep();
    const QString caption = sweep ? tr("Sweep %1 / %2   %3")
                                        .arg(index + 1)
                                        .arg(m_engine->sweepCount())
                                        .arg(sweep->time.toString())
                                  : QString();
    if (m_plot) {
        if (sweep)
            widenLevelRange(sweep->levels);
        m_plot->setTrace(sweep ? sweep->levels : QVector<float>(), caption);
        m_plot->setPeakTrace(m_engine->peakLevels());
    }
    if (!m_readoutLabel)
        return;
    if (!sweep || sweep->levels.isEmpty()) {
        m_readoutLabel->clear();
        return;
    }
    // The plot shows the shape; the numbers of its highest point are for the status bar.
    const QVector<float>& levels = sweep->levels;
    const int highest = int(std::max_element(levels.cbegin(), levels.cend()) - levels.cbegin());
    const int bins = levels.size();
    const double low = m_header.freqMin();
    const double span = double(m_header.freqMax()) - low;
    const double hz = bins > 1 ? low + highest * span / (bins - 1) : low;
    const QString unit = QLatin1String(kUnitTexts[frequencyUnit()]);
    const double divisor = SweepPlot::unitDivisor(unit);
    // No finer than the bins: to the power of ten below their spacing (40 kHz bins: 10 kHz).
    const double binWidth = bins > 1 ? span / (bins - 1) / divisor : 0.0;
    const int exponent = binWidth > 0.0 ? int(std::floor(std::log10(binWidth))) : 0;
    const double resolution = std::pow(10.0, exponent);
    const QString frequency = QString::number(
        std::round(hz / divisor / resolution) * resolution, 'f', std::max(0, -exponent));
    const QString level = QString::number(double(levels.at(highest)), 'f', 1);
    m_readoutLabel->setText(m_engine->levelDetected()
            ? tr("Maximum %1 dBm at %2 %3, above the level line").arg(level, frequency, unit)
            : tr("Maximum %1 dBm at %2 %3").arg(level, frequency, unit));
}

void RecViewWindow::showDisplayOptions()
{
    if (!m_plot)
        return;
    m_plot->setPeakTrace(m_engine->peakLevels());
    m_plot->setThreshold(m_engine->levelDetect() ? double(m_engine->levelThreshold())
                                                 : std::numeric_limits<double>::quiet_NaN());
    showFrame(m_engine->currentIndex());
}

void RecViewWindow::showReplayState()
{
    if (!m_statusLabel)
        return;
    if (!m_hasRecording) {
        m_statusLabel->setText(tr("Idle"));
        return;
    }
    switch (m_engine->mode()) {
    case ReplayEngine::Mode::Playing:
        m_statusLabel->setText(tr("Playing"));
        break;
    case ReplayEngine::Mode::FastPlaying:
        m_statusLabel->setText(tr("Fast play"));
        break;
    case ReplayEngine::Mode::Stopped:
        m_statusLabel->setText(tr("Stopped"));
        break;
    }
}

void RecViewWindow::showNoRecording()
{
    if (!m_plot)
        return;
    QString message = tr("No recording loaded");
    if (m_fileMenu && m_openAction) {
        message += QLatin1Char('\n')
            + tr("Open one with %1 > %2 (%3)")
                  .arg(withoutMnemonic(m_fileMenu->title()), withoutMnemonic(m_openAction->text()),
                      m_openAction->shortcut().toString(QKeySequence::NativeText));
    }
    m_plot->setMessage(message);
}

void RecViewWindow::showAbout()
{
    QMessageBox::about(this, tr("About Recording Viewer"),
        tr("<h3>Recording Viewer %1</h3>"
           "<p>Replays spectrum recordings (.rec files) sweep by sweep, with peak hold and "
           "level detection.</p>"
           "<p>The demo front end of the TevFrameBase window library, built with Qt %2.</p>")
            .arg(version(), QLatin1String(QT_VERSION_STR)));
}
