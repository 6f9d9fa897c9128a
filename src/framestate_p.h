#pragma once

// State the frame keeps beside its declared members. Internal to the library: front ends are
// built against CFrameMainWnd's member layout, so new state lives in a child object instead.

#include <QObject>
#include <QPointer>
#include <QString>

#include <utility>

class CFrameMainWnd;
class CSettings;
class QMimeData;

/// Holds a close or quit back while a file operation of the frame runs, remembers the window
/// layout, and opens recordings dropped onto the window.
///
/// Opening and saving wait for the archive and show boxes; both run event loops, in which the
/// window manager, Alt+F4 or Exit can ask the frame to close. With Qt::WA_DeleteOnClose that
/// would delete the frame under the running operation. While busy, the close event is refused
/// and remembered; once the last operation has returned, the close (or the quit) is repeated
/// from the event loop, so the options are written once, by the destructor, as usual.
class FrameState : public QObject
{
    Q_OBJECT

public:
    /// The state of `frame`, created on first use as a child of the frame.
    static FrameState* of(CFrameMainWnd* frame);

    bool isBusy() const { return m_busy > 0; }
    /// Remembers a quit (close and end the event loop) to be repeated when the frame is idle.
    void deferQuit() { m_quitPending = true; }

    /// Adds the layout keys "Geometry" and "WindowState" to the settings record, beside
    /// "FileOpenPath" and "FilesN".
    void addLayoutKeys(CSettings* settings);
    /// Restores the stored size, place, maximized state and bar places; without them (or with
    /// damaged ones) the window gets two thirds of its screen, centred.
    void restoreLayout();
    /// Puts the window's layout into the record's keys (written with the record).
    void storeLayout();
    void setRememberLayout(bool remember) { m_rememberLayout = remember; }

    /// The local file a drop handed to the open slot; empty when the open comes from the menu.
    QString takeDroppedFile() { return std::exchange(m_droppedFile, QString()); }

    /// Marks the frame busy for the lifetime of the scope.
    class BusyScope
    {
    public:
        explicit BusyScope(CFrameMainWnd* frame);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        QPointer<FrameState> m_state;
    };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FrameState(CFrameMainWnd* frame);
    void leave();
    void drop(QEvent* event);
    /// The first URL of `mime` when it names an existing local file, else empty.
    static QString droppedFile(const QMimeData* mime);

    CFrameMainWnd* m_frame; ///< not owned: the parent
    int m_busy = 0;
    bool m_closePending = false;
    bool m_quitPending = false;
    bool m_rememberLayout = true;
    QString m_geometry; ///< QWidget::saveGeometry(), base64
    QString m_windowState; ///< QMainWindow::saveState(), base64
    QString m_droppedFile;
};
