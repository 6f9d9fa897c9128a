#pragma once

#include <QKeySequence>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

/// What a modal dialog showed: its title and, for a message box, its text.
struct SeenDialog
{
    QString title, text;
};

/// Answers the next modal dialogs from within their event loops, one answer each, and records
/// them. A dialog beyond the answers is rejected, so that a test fails on what it saw instead of
/// hanging; the timeout counts for each dialog.
class ModalAnswer : public QObject
{
public:
    using Answer = std::function<void(QWidget* dialog)>;

    explicit ModalAnswer(Answer answer, int timeoutMs = 5000)
        : ModalAnswer(QList<Answer> { std::move(answer) }, timeoutMs)
    { }
    explicit ModalAnswer(QList<Answer> answers, int timeoutMs = 5000);

    bool seen() const { return !m_dialogs.isEmpty(); }
    const QList<SeenDialog>& dialogs() const { return m_dialogs; }

    /// Presses the button with this text ("&" ignored); without one, the Escape key.
    static Answer pressButton(const QString& text);
    /// Types `fileName` into Qt's own file dialog and accepts it.
    static Answer chooseFile(const QString& fileName);
    static void rejectDialog(QWidget* dialog);

private:
    QList<Answer> m_answers;
    QTimer m_timer;
    QPointer<QWidget> m_last;
    QList<SeenDialog> m_dialogs;
};

/// The first key of `sequence` with its modifier bits (Qt 6 holds a QKeyCombination there).
int firstKey(const QKeySequence& sequence);

/// Types `steps` one per event-loop turn as a keyboard does (ShortcutOverride, then KeyPress) into
/// the active modal dialog, else `window`; a step opening a dialog returns when that closes. "+F1"
/// presses, "-F1" releases, "*F1"/"~F1" autorepeat; others go to `other`. A dialog left: rejected.
class KeyScript : public QObject
{
public:
    KeyScript(QWidget* window, QStringList steps, std::function<void(const QString&)> other = {});

    /// True once every step returned and no modal dialog is open.
    bool finished() const { return m_finished; }
    QStringList dialogTitles() const { return m_titles; }

private:
    void tick();

    QPointer<QWidget> m_window, m_last;
    QStringList m_steps, m_titles;
    std::function<void(const QString&)> m_other;
    int m_running = 0;
    bool m_finished = false;
};
