#pragma once

#include <fileapi/fileapi.h>
#include <tevbase/observable.h>
#include <values/persistant.h>
#include <values/value.h>

#include <QMainWindow>
#include <QString>

#include <tevframebase_export.h>

class CSettings;
class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
namespace values {
class ValueSelection;
}

/// The main window of a front end.
///
/// A front end derives from it, constructs it with its application name, the name of its
/// configuration and the value-tree path of the frame's values, and calls initialize(true).
/// initialize runs the start-up steps below, always through the virtual table, so a derived
/// window can replace any step or fill the empty hooks:
///
///   initSettings()        the settings record "Settings", then readOptions()
///   initToolBars()        initMainBar(): the "File Operations" tool bar
///   initMenuBar()         the File menu, the front end's menus (insertMenus), the help menu
///   initSplitterWindow()  the central widget with m_splitter, for the front end's panes
///   initStatusBar()
///
/// The window deletes itself when it is closed (Qt::WA_DeleteOnClose); its destructor saves
/// the options. The constructor publishes "FileLoaded" ("On"/"Off") and "FileName" under the
/// value root; they stay in the value tree after the frame is gone.
///
/// The declaration order of members and virtual operations is part of the class's binary
/// interface: front ends are built against it.
class TEVFRAMEBASE_EXPORT CFrameMainWnd : public QMainWindow,
                                          public values::PersistantOwner,
                                          public IObserver
{
    Q_OBJECT

public:
    /// Reads "RecordingPath" and "ReportPath" from configuration `cfgName` (when not empty),
    /// registers the hot keys and creates the frame's values. Builds no widget.
    CFrameMainWnd(QString& appName, QString& cfgName, QString& valueRoot);
    ~CFrameMainWnd() override;

    /// Runs the start-up sequence; with `show`, also sets the title to the application name and
    /// shows the window. Runs once per frame.
    virtual void initialize(bool show);
    /// Creates m_settings and calls readOptions().
    virtual void initSettings();
    /// Builds the tool bars; here only initMainBar().
    virtual void initToolBars();
    virtual void initMainBar();
    virtual void initMenuBar();
    virtual void initStatusBar();
    /// Takes the open folder from the settings record, or builds it from the configured
    /// recording folder in its "file:" form.
    virtual void readOptions();
    /// Stores the open folder in the settings record and writes the record.
    virtual void saveOptions();
    /// Builds the central widget: a sunken panel holding m_splitter.
    virtual void initSplitterWindow();
    /// Hook: add menus to the menu bar, between the File menu and the help menu.
    virtual void insertMenus();
    /// Hook: add tool bars after the "File Operations" tool bar.
    virtual void insertMainBar();
    /// Hook: add "What's this" help to the tool-bar items.
    virtual void insertMainBarHelpText();
    /// Shows an open dialog for any file, starting in `dir`; the chosen name or empty.
    virtual QString openFileDialog(QString& dir);
    /// Shows the save dialog for recordings, starting in `dir`; the chosen name or empty.
    virtual QString saveAsFileDialog(QString& dir);
    virtual void enableFileMenu(bool enable);
    /// Called by the hot-key service with the id of a pressed hot key; true consumes the key.
    virtual bool onHotKey(int id);

protected:
    /// Hook: add entries to the File menu, after "Save as file...".
    virtual void insertFileMenuItems();
    /// Hook: add items to the "File Operations" tool bar, after the save-as action.
    virtual void insertMainToolBarItems();
    /// Loads a recording; true when it was read. `isLocal` is false when `fileName` is the local
    /// copy of an archive recording, whose URL is then `displayName`. The frame's own version
    /// only sets the title "<app> - [<displayName or fileName>]" and returns false; front ends
    /// override it to read the file.
    virtual bool load(const QString& fileName, const QString& displayName, bool isLocal);
    /// Copies the current recording and its companions to `fileName`.
    virtual void save(const QString& fileName);

public:
    // Overrides of the other bases come last: with the Itanium C++ ABI (GCC, Clang, MinGW) each
    // also takes a slot in the primary virtual table where it is declared, and front ends are
    // built against the frame's own operations ending with save().

    // values::PersistantOwner: nothing to do in the frame.
    void ApplyPersistantBeforeWrite() override;
    void ApplyPersistantAfterRead() override;

    // IObserver: lets go of "FileLoaded" or "FileName" when the value ends.
    void Update(Observable* observable, TChangeCode code) override;

    /// Whether initialize() restores the size, place, maximized state and bar places stored
    /// when the window last closed ("Geometry" and "WindowState" in the settings record), and
    /// the close stores them. Default true; call before initialize(). Without stored values the
    /// window opens at two thirds of its screen, centred. Dropping a file onto the window opens
    /// it as File → Open would; turn that off with setAcceptDrops(false).
    void setRememberLayout(bool remember);

protected Q_SLOTS:
    void fileOpenRecent();
    void slotLoad();
    void slotSaveAs();
    void slotQuit();

protected:
    /// Records `fileName` as the newest recent file (nothing happens when it is listed already;
    /// the oldest of more than nine goes) and rebuilds the File-menu entries.
    void updateRecentFiles(const QString& fileName);
    /// Rebuilds the numbered recent-file entries at the end of the File menu.
    void updateRecentFilesMenu();
    /// True when `fileName` can be opened for exclusive writing. After false, `fileExists` tells
    /// "in use by another program" (true) from "not found" (false).
    bool checkAccess(const QString& fileName, bool& fileExists);
    /// Probes an existing file; fileapi::InvalidHandle when it is missing or unreachable. The
    /// caller closes a valid handle with fileapi::Close.
    fileapi::Handle openFileExist(const QString& fileName);
    /// Opens an existing file for writing; fails when it is read-only or another program has it
    /// open (with `shareWrite`, one that only writes is tolerated).
    fileapi::Handle openFileWrite(const QString& fileName, bool shareWrite);
    /// Creates a new file (fails when it exists), then opens it as openFileWrite does.
    fileapi::Handle openFileCreateAndWrite(const QString& fileName, bool shareWrite);

    QString m_appName;
    int m_helpHotKeyId;
    int m_displayHotKeysId; ///< not used by the frame; for front ends
    int m_resultPanelHotKeyId; ///< not used by the frame; for front ends
    QAction* m_openAction;
    QAction* m_saveAsAction;
    QLabel* m_statusLabel;
    QMenu* m_fileMenu;
    CSettings* m_settings; ///< owned
    QToolBar* m_mainToolBar;
    QSplitter* m_splitter; ///< the front end's panes go here
    QString m_fileOpenPath;
    QString m_recordingPath; ///< not used by the frame; for front ends
    QString m_cfgName;
    QString m_valueRoot;
    QAction* m_exitAction;
    QString m_reportPath; ///< not used by the frame; for front ends
    QString m_currentFile; ///< set by front ends when they load a recording
    values::ValueSelection* m_fileLoaded; ///< not owned: belongs to the value tree
    values::StringValue* m_fileName; ///< not owned: belongs to the value tree
    QString m_lastOpenFolder;
    int m_firstRecentId;

private:
    /// The first entry of `menu` whose data converts to `id`; null for a null menu or a
    /// negative id.
    QAction* GetActionFromMenu(QMenu* menu, int id);
};
