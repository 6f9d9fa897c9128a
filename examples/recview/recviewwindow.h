#pragma once

#include "replayengine.h"

#include <recording/headerdata.h>

#include <QString>

#include <cframemainwnd.h>
#include <cinfobar.h>
#include <memory>

class CReplayBar;
class SweepPlot;
class ValueSelMenu;
namespace values {
class ValueSelection;
}

/// The recording viewer: the frame with an information panel, a plot of the current sweep, a
/// replay bar driving a ReplayEngine and a View menu for the frequency unit.
///
/// Values under the value root, besides the frame's own: "FreqUnit" (selection "MHz", "kHz",
/// "Hz" keyed like CInfoBar::eUnit, kept in "MenuSettings" of the application configuration)
/// and the engine's values under "Replay". The window ends the values it added when it goes.
class RecViewWindow : public CFrameMainWnd
{
    Q_OBJECT

public:
    RecViewWindow(QString appName, QString cfgName, QString valueRoot);
    ~RecViewWindow() override;

    void initSplitterWindow() override;
    void insertMenus() override;
    void insertMainBar() override;

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
    /// The loaded recording's header; meaningful while hasRecording().
    const Recording2::CHeaderData& header() const { return m_header; }
    bool hasRecording() const { return m_hasRecording; }
    /// The reader's reason for the last failed load; empty after a good one.
    QString lastError() const { return m_lastError; }
    CInfoBar::eUnit frequencyUnit() const;

    // IObserver: the frequency unit, the rest goes to the frame.
    void Update(Observable* observable, TChangeCode code) override;

protected:
    /// Reads the whole recording. A file the reader refuses is reported (a box naming the
    /// reader's reason) and changes nothing: the window keeps the recording it showed.
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override;

private:
    void createUnitValue();
    void showFrame(int index);
    void showHeader();
    void showDisplayOptions();
    void reportLoadError(const QString& name, const QString& reason);

    std::unique_ptr<ReplayEngine> m_engine;
    CInfoBar* m_infoBar = nullptr;
    SweepPlot* m_plot = nullptr;
    CReplayBar* m_replayBar = nullptr;
    ValueSelMenu* m_viewMenu = nullptr; // owned: a menu-bar menu has no Qt parent
    values::ValueSelection* m_unit = nullptr; // the tree owns it
    bool m_unitAdded = false; // true: this window added "FreqUnit" and ends it
    Recording2::CHeaderData m_header;
    bool m_hasRecording = false;
    bool m_interactive = true;
    QString m_lastError;
};
