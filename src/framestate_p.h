#pragma once

// State the frame keeps beside its declared members. Internal to the library: front ends are
// built against CFrameMainWnd's member layout, so new state lives in a child object instead.

#include <QObject>
#include <QPointer>

class CFrameMainWnd;

/// Holds a close or quit back while a file operation of the frame runs.
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

    CFrameMainWnd* m_frame; ///< not owned: the parent
    int m_busy = 0;
    bool m_closePending = false;
    bool m_quitPending = false;
};
