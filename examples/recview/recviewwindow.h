#pragma once

#include "replayengine.h"

#include <recording/headerdata.h>

#include <QKeySequence>
#include <QString>
#include <QVector>

#include <array>
#include <cframemainwnd.h>
#include <cinfobar.h>
#include <memory>

class CReplayBar;
class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class SweepPlot;
class ValueSelMenu;
namespace values {
class ValueSelection;
}

/// The recording viewer: the frame with an information panel, a plot of the current sweep, a
/// replay bar driving a ReplayEngine, a View menu for the frequency unit and a Replay menu
/// that gives the bar's transport buttons their keys.
///
/// Values under the value root, besides the frame's own: "FreqUnit" (selection "MHz", "kHz",
/// "Hz" keyed like CInfoBar::eUnit, kept in "MenuSettings" of the application configuration)
/// and the engine's values under "Replay". The window ends the values it added when it goes.
///
/// Of the frame's hot keys it handles Space ("Toggle Result Panel": shows and hides the
/// information panel) and Shift+F1 ("Display Hotkeys": the hot-key list, as F1 shows it). The
/// keys of the Replay menu are listed there too, in the group "Replay".
class RecViewWindow : public CFrameMainWnd
{
    Q_OBJECT

public:
    RecViewWindow(QString appName, QString cfgName, QString valueRoot);
    ~RecViewWindow() override;

    /// Installs the viewer's translations for the language of TranslationCenter (TEV_LANG or
    /// the system's). Call once the application object exists.
    static void installTranslations();
    /// The version shown in the About box.
    static QString version();

    void initMenuBar() override;
    void initSplitterWindow() override;
    void initStatusBar() override;
    void insertMenus() override;
    void insertMainBar() override;
    bool onHotKey(int id) override;

    /// Opens a file named on the command line the way the File menu would: a local path is
    /// loaded directly, an archive URL ("mirel:/...") through the recent-files entry, which
    /// fetches it. Sets "FileLoaded" and "FileName" as the frame does.
    bool openFile(const QString& nameOrUrl);

    /// With false, load failures go to stderr instead of a message box (for runs without a
    /// display, where nobody could answer the box). Default true.
    void setInteractive(bool interactive) { m_interactive = interactive; }

    ReplayEngine* engine() const { return m_engine.get(); }
    CInfoBar* infoBar() const { return m_infoBar; }
    SweepPlot* plot() const { return m_plot; }
    CReplayBar* replayBar() const { return m_replayBar; }
    ValueSelMenu* viewMenu() const { return m_viewMenu; }
    QMenu* replayMenu() const { return m_replayMenu; }
    /// The Replay menu's entries, each named after the bar button it presses.
    QList<QAction*> replayActions() const;
    /// The ids under which the Replay menu's keys are listed with the hot-key service.
    QVector<int> replayHotKeyIds() const { return m_replayHotKeyIds; }
    QAction* aboutAction() const { return m_aboutAction; }
    /// The loaded recording's header; meaningful while hasRecording().
    const Recording2::CHeaderData& header() const { return m_header; }
    bool hasRecording() const { return m_hasRecording; }
    /// The reader's reason for the last failed load; empty after a good one.
    QString lastError() const { return m_lastError; }
    /// The status-bar warning about the loaded recording; empty when there is none.
    QString warning() const;
    /// The status-bar text about the sweep shown (what the plot does not tell in numbers).
    QString readout() const;
    CInfoBar::eUnit frequencyUnit() const;

    // IObserver: the frequency unit, the rest goes to the frame.
    void Update(Observable* observable, TChangeCode code) override;

protected:
    /// Opens the recording and shows its first sweep; the others are read as they are shown.
    /// One cut short shows the complete sweeps it holds, with a warning, and offers more as
    /// a writer appends them. A file the reader refuses (or one cut short before its first
    /// sweep) is reported (a box naming the reader's reason) and changes nothing: the window
    /// keeps the recording it showed.
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override;

private:
    void createUnitValue();
    void showFrame(int index);
    void showWarning();
    void showGrowth();
    void showCut(int sweepsLeft, const QString& reason);
    void widenLevelRange(const QVector<float>& levels);
    void showHeader();
    void showDisplayOptions();
    void showReplayState();
    void showNoRecording();
    void fitInfoFields();
    void enableReplay(bool enable);
    void showAbout();
    void reportLoadError(const QString& name, const QString& reason);
    /// False while the key belongs to someone else: a dialog, an open menu, a text field being
    /// typed into, another window.
    bool keysAreForThisWindow() const;

    std::unique_ptr<ReplayEngine> m_engine;
    CInfoBar* m_infoBar = nullptr;
    std::array<int, 6> m_libraryFieldWidths {}; // the panel's own widths, never undercut
    SweepPlot* m_plot = nullptr;
    CReplayBar* m_replayBar = nullptr;
    ValueSelMenu* m_viewMenu = nullptr; // owned: a menu-bar menu has no Qt parent
    QActionGroup* m_unitGroup = nullptr;
    QMenu* m_replayMenu = nullptr; // owned by the menu bar
    QVector<int> m_replayHotKeyIds;
    QAction* m_aboutAction = nullptr;
    QLabel* m_warningLabel = nullptr;
    QLabel* m_readoutLabel = nullptr;
    values::ValueSelection* m_unit = nullptr; // the tree owns it
    bool m_unitAdded = false; // true: this window added "FreqUnit" and ends it
    Recording2::CHeaderData m_header; // as the reader last read it
    double m_levelLow = 0.0; // the plot's level range: every level shown fits
    double m_levelHigh = 0.0;
    bool m_hasRecording = false;
    bool m_interactive = true;
    bool m_hotKeyListPending = false; // the list is about to be shown
    QString m_lastError;
};
