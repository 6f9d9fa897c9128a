#include "cframemainwnd.h"
#include "framestate_p.h"

#include <QCloseEvent>

FrameState* FrameState::of(CFrameMainWnd* frame)
{
    if (auto* state = frame->findChild<FrameState*>(QString(), Qt::FindDirectChildrenOnly))
        return state;
    return new FrameState(frame);
}

FrameState::FrameState(CFrameMainWnd* frame)
    : QObject(frame)
    , m_frame(frame)
{
    frame->installEventFilter(this);
}

bool FrameState::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_frame && event->type() == QEvent::Close && isBusy()) {
        event->ignore();
        m_closePending = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void FrameState::leave()
{
    if (--m_busy > 0 || !(m_closePending || m_quitPending))
        return;
    // Queued: the operation that just ended is still on the stack of the caller.
    const char* slot = m_quitPending ? "slotQuit" : "close";
    m_closePending = m_quitPending = false;
    QMetaObject::invokeMethod(m_frame, slot, Qt::QueuedConnection);
}

FrameState::BusyScope::BusyScope(CFrameMainWnd* frame)
    : m_state(FrameState::of(frame))
{
    ++m_state->m_busy;
}

FrameState::BusyScope::~BusyScope()
{
    if (m_state)
        m_state->leave();
}
