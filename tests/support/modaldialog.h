#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

/// What a modal dialog showed.
struct SeenDialog
{
    QString className;
    QString objectName;
    QString title;
    QString text; ///< a message box's text
    QStringList buttons; ///< a message box's button texts, in order
};

/// Answers the next modal dialogs: waits for QApplication::activeModalWidget() to appear, records
/// it and hands it to the next answer, which presses a button, fills a file dialog or closes it.
/// Start it before the code that opens the dialogs; it works from the dialogs' own event loops.
/// Dialogs beyond the answers given, and dialogs an answer does not fit, are recorded and
/// rejected, so a test fails on what it saw instead of hanging in a dialog nobody answers.
class ModalAnswer : public QObject
{
    Q_OBJECT
public:
    using Answer = std::function<void(QWidget* dialog)>;

    explicit ModalAnswer(Answer answer, int timeoutMs = 5000);
    /// Answers one dialog after the other; the timeout counts for each.
    explicit ModalAnswer(QList<Answer> answers, int timeoutMs = 5000);

    bool seen() const { return !m_dialogs.isEmpty(); }
    /// The first dialog answered; an empty record when none was.
    SeenDialog dialog() const { return m_dialogs.value(0); }
    /// Every dialog answered, in order.
    const QList<SeenDialog>& dialogs() const { return m_dialogs; }

    /// Answers: press the message-box button with this text ("&" ignored).
    static Answer pressButton(const QString& text);
    /// Answers: press Escape in the dialog.
    static Answer pressEscape();
    /// Answers: type `fileName` into Qt's own file dialog and accept it.
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
