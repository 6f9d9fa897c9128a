#include "recviewwindow.h"

#include "sweepplot.h"

#include <mirel/mirelclient.h>
#include <recording/recfile.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <creplaybar.h>
#include <csettings.h>
#include <limits>
#include <valueselmenu.h>

namespace {
const QString kUnitName = QStringLiteral("FreqUnit");
const QString kArchivePrefix = QStringLiteral("mirel:");
const char* const kUnitTexts[] = { "MHz", "kHz", "Hz" };

// The level-detect threshold of a recording: well above its typical level, so that only the
// peaks cross it. The median of the first sweep stands for the noise floor.
float defaultThreshold(const QVector<Recording2::CSweep>& sweeps)
{
    if (sweeps.isEmpty() || sweeps.first().levels.isEmpty())
        return -60.0f;
    QVector<float> levels = sweeps.first().levels;
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    return std::round(levels.at(levels.size() / 2) + 20.0f);
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

void RecViewWindow::initSplitterWindow()
{
    CFrameMainWnd::initSplitterWindow();
    m_splitter->setOrientation(Qt::Vertical);
    m_infoBar = new CInfoBar(nullptr, nullptr, "File Info");
    m_infoBar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_plot = new SweepPlot;
    m_splitter->addWidget(m_infoBar);
    m_splitter->addWidget(m_plot);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setCollapsible(1, false);
    showDisplayOptions();
}

void RecViewWindow::insertMenus()
{
    m_viewMenu = new ValueSelMenu;
    m_viewMenu->setTitle(tr("View"));
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
    menuBar()->addMenu(m_viewMenu);
}

void RecViewWindow::insertMainBar()
{
    m_replayBar = new CReplayBar(this, "Replay Operations", m_engine->valuePrefix());
    m_replayBar->setObjectName(QStringLiteral("Replay Operations"));
    m_replayBar->addDockWindow();
    m_replayBar->enableAction(m_hasRecording);
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
    Recording2::CHeaderData header;
    QVector<Recording2::CSweep> sweeps;
    QString error;
    if (!Recording2::ReadSweeps(fileName, header, sweeps, &error)) {
        m_lastError = error;
        reportLoadError(shownName, error);
        return false;
    }

    m_lastError.clear();
    m_header = header;
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
    if (m_replayBar)
        m_replayBar->enableAction(true);
    statusBar()->clearMessage();

    float lowest = std::numeric_limits<float>::infinity();
    float highest = -lowest;
    for (const Recording2::CSweep& sweep : sweeps) {
        for (float level : sweep.levels) {
            lowest = std::min(lowest, level);
            highest = std::max(highest, level);
        }
    }
    if (m_plot) {
        m_plot->setFrequencyRange(header.freqMin(), header.freqMax());
        if (std::isfinite(lowest) && std::isfinite(highest))
            m_plot->setLevelRange(
                std::floor(lowest / 10.0) * 10.0, std::ceil(highest / 10.0) * 10.0 + 10.0);
    }
    m_engine->setLevelThreshold(defaultThreshold(sweeps));
    showHeader();
    m_engine->setSweeps(std::move(sweeps));
    showDisplayOptions();
    return true;
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

void RecViewWindow::showHeader()
{
    if (m_infoBar && m_hasRecording) {
        m_infoBar->setHeaderData(&m_header, frequencyUnit());
        // The fields are narrow: show where the texts begin (the date, the leading digits).
        for (QLineEdit* field :
            { m_infoBar->deviceName(), m_infoBar->deviceType(), m_infoBar->starttime(),
                m_infoBar->stoptime(), m_infoBar->freqmin(), m_infoBar->freqmax() }) {
            field->setCursorPosition(0);
            field->setToolTip(field->text());
        }
    }
    if (m_plot)
        m_plot->setFrequencyUnit(QLatin1String(kUnitTexts[frequencyUnit()]));
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
        m_plot->setTrace(sweep ? sweep->levels : QVector<float>(), caption);
        m_plot->setPeakTrace(m_engine->peakLevels());
    }
    if (m_statusLabel) {
        QString status = caption;
        if (m_engine->levelDetected())
            status
                += tr("   level above %1 dBm").arg(double(m_engine->levelThreshold()), 0, 'f', 1);
        m_statusLabel->setText(status.isEmpty() ? QStringLiteral("Idle") : status);
    }
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
