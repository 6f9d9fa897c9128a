#include "cframemainwnd.h"
#include "cpersistant.h"
#include "csettings.h"
#include "framestate_p.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>

namespace {
// Changes whenever the frame's bars change in a way an older stored layout would not fit.
constexpr int kLayoutVersion = 1;
} // namespace

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
    if (watched != m_frame)
        return false;
    switch (event->type()) {
    case QEvent::Close:
        if (!isBusy())
            return false;
        event->ignore();
        m_closePending = true;
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        drop(event);
        return true;
    default:
        return false;
    }
}

QString FrameState::droppedFile(const QMimeData* mime)
{
    // Only the first URL is looked at: a drop of thousands costs no more than a drop of one.
    if (!mime || !mime->hasUrls())
        return QString();
    const QUrl first = mime->urls().value(0);
    if (!first.isLocalFile())
        return QString();
    const QFileInfo file(first.toLocalFile());
    return file.isFile() ? file.absoluteFilePath() : QString();
}

void FrameState::drop(QEvent* event)
{
    auto* dropEvent = static_cast<QDropEvent*>(event);
    // A drop while an open or save waits would start a second one inside the first.
    const QString file = isBusy() ? QString() : droppedFile(dropEvent->mimeData());
    if (file.isEmpty()) {
        dropEvent->ignore();
        return;
    }
    dropEvent->acceptProposedAction();
    if (event->type() != QEvent::Drop)
        return;

    const int count = dropEvent->mimeData()->urls().size();
    if (count > 1) {
        m_frame->statusBar()->showMessage(
            CFrameMainWnd::tr("%1 files dropped; only the first is opened: %2")
                .arg(count)
                .arg(file));
    }
    // The open runs from the event loop, after the drag has ended: its boxes would otherwise
    // keep the program the file came from waiting for the end of the drop.
    m_droppedFile = file;
    QMetaObject::invokeMethod(m_frame, "slotLoad", Qt::QueuedConnection);
}

void FrameState::addLayoutKeys(CSettings* settings)
{
    if (settings && settings->persistant()) {
        settings->persistant()->Add(&m_geometry, QStringLiteral("Geometry"), QString());
        settings->persistant()->Add(&m_windowState, QStringLiteral("WindowState"), QString());
    }
}

void FrameState::restoreLayout()
{
    if (m_rememberLayout
        && m_frame->restoreGeometry(QByteArray::fromBase64(m_geometry.toLatin1()))) {
        // A state of another front end or an older layout is refused by Qt and changes nothing.
        m_frame->restoreState(QByteArray::fromBase64(m_windowState.toLatin1()), kLayoutVersion);
        // Qt moves a window whose screen is gone onto the primary screen; one that lies
        // entirely outside every screen of the same arrangement is moved here.
        const QRect frame = m_frame->frameGeometry();
        for (const QScreen* screen : QGuiApplication::screens()) {
            if (screen->availableGeometry().intersects(frame))
                return;
        }
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    m_frame->setGeometry(
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, available.size() * 2 / 3, available));
}

void FrameState::storeLayout()
{
    // A frame never shown has no layout worth keeping.
    if (!m_rememberLayout || !m_frame->windowHandle())
        return;
    m_geometry = QString::fromLatin1(m_frame->saveGeometry().toBase64());
    m_windowState = QString::fromLatin1(m_frame->saveState(kLayoutVersion).toBase64());
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
