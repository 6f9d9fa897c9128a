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

/// Answers the next modal dialog: waits for QApplication::activeModalWidget() to appear, records
/// it and hands it to `answer`, which presses a button, fills a file dialog or closes it.
/// Start it before the code that opens the dialog; it works from the dialog's own event loop.
class ModalAnswer : public QObject
{
    Q_OBJECT
public:
    using Answer = std::function<void(QWidget* dialog)>;

    explicit ModalAnswer(Answer answer, int timeoutMs = 5000);

    bool seen() const { return m_seen; }
    const SeenDialog& dialog() const { return m_dialog; }

    /// Answers: press the message-box button with this text ("&" ignored).
    static Answer pressButton(const QString& text);
    /// Answers: press Escape in the dialog.
    static Answer pressEscape();
    /// Answers: type `fileName` into Qt's own file dialog and accept it.
    static Answer chooseFile(const QString& fileName);

private:
    void poll();

    Answer m_answer;
    QTimer m_timer;
    int m_remainingPolls;
    bool m_seen = false;
    SeenDialog m_dialog;
};
