#pragma once

#include <QKeySequence>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

/// What a modal dialog showed.
struct SeenDialog
{
    QString objectName;
    QString title;
    QString text; ///< a message box's text
    QStringList buttons; ///< a message box's button texts, in order
};

/// Answers the next modal dialogs from their own event loops: waits for
/// QApplication::activeModalWidget(), records it and hands it to the next answer. Dialogs beyond
/// the answers, or that an answer does not fit, are recorded and rejected, so that a test fails
/// on what it saw instead of hanging.
class ModalAnswer : public QObject
{
    Q_OBJECT
public:
    using Answer = std::function<void(QWidget* dialog)>;

    explicit ModalAnswer(Answer answer, int timeoutMs = 5000);
    /// One answer per dialog, in order; the timeout counts for each.
    explicit ModalAnswer(QList<Answer> answers, int timeoutMs = 5000);

    bool seen() const { return !m_dialogs.isEmpty(); }
    /// The first dialog answered; an empty record when none was.
    SeenDialog dialog() const { return m_dialogs.value(0); }
    const QList<SeenDialog>& dialogs() const { return m_dialogs; }

    /// Presses the message-box button with this text ("&" ignored).
    static Answer pressButton(const QString& text);
    static Answer pressEscape();
    /// Types `fileName` into Qt's own file dialog and accepts it.
    static Answer chooseFile(const QString& fileName);
    /// Closes `dialog` the way its Cancel or Escape would.
    static void rejectDialog(QWidget* dialog);

private:
    void poll();

    QList<Answer> m_answers;
    QTimer m_timer;
    int m_pollsPerDialog;
    int m_remainingPolls;
    QPointer<QWidget> m_lastAnswered;
    QList<SeenDialog> m_dialogs;
};

/// The first key of `sequence` with its modifier bits, as one int (Qt 6 has a QKeyCombination
/// there, Qt 5 an int).
int firstKey(const QKeySequence& sequence);

/// Types `steps` the way a keyboard sends them, one step per turn of the event loop, into the
/// window that has the keyboard: the active modal dialog, else `window`. The keys go through the
/// platform's way in, so a press arrives as Qt's ShortcutOverride and then its KeyPress. A step
/// that opens a modal dialog returns only when the dialog closes, and the steps after it go to
/// that dialog from within its event loop, as a user's keys would.
///
/// Steps: "+F1" presses a key, "-F1" releases it, "*F1" is an autorepeat press, "~F1" an
/// autorepeat release (key names as QKeySequence spells them, one key each); any other step is
/// handed to `other`. Every modal dialog seen is recorded; a dialog still open after the last step
/// is recorded and rejected, so that a test fails on what it saw instead of hanging.
class KeyScript : public QObject
{
    Q_OBJECT
public:
    KeyScript(
        QWidget* window, QStringList steps, std::function<void(const QString& step)> other = {});

    /// True once every step ran and returned and no modal dialog is open.
    bool finished() const { return m_finished; }
    /// The titles of the modal dialogs seen, in order.
    QStringList dialogTitles() const;

private:
    void tick();
    void record();
    void send(const QString& step);

    QPointer<QWidget> m_window;
    QStringList m_steps;
    std::function<void(const QString&)> m_other;
    int m_running = 0;
    bool m_finished = false;
    QPointer<QWidget> m_lastDialog;
    QList<SeenDialog> m_dialogs;
};
