#include "modaldialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QWindow>

namespace {
SeenDialog seeDialog(QWidget* dialog)
{
    SeenDialog seen { dialog->objectName(), dialog->windowTitle(), {}, {} };
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        seen.text = box->text();
        for (QAbstractButton* button : box->buttons())
            seen.buttons << button->text();
    }
    return seen;
}
} // namespace

ModalAnswer::ModalAnswer(Answer answer, int timeoutMs)
    : ModalAnswer(QList<Answer> { std::move(answer) }, timeoutMs)
{ }

ModalAnswer::ModalAnswer(QList<Answer> answers, int timeoutMs)
    : m_answers(std::move(answers))
    , m_pollsPerDialog(timeoutMs / 10)
    , m_remainingPolls(m_pollsPerDialog)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswer::poll);
    m_timer.start(10);
}

void ModalAnswer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    // The dialog answered last may still be on its way out.
    if (!modal || !modal->isVisible() || modal == m_lastAnswered) {
        if (--m_remainingPolls <= 0)
            m_timer.stop();
        return;
    }
    m_dialogs << seeDialog(modal);
    m_lastAnswered = modal;
    m_remainingPolls = m_pollsPerDialog;
    if (m_answers.isEmpty())
        rejectDialog(modal);
    else
        m_answers.takeFirst()(modal);
}

void ModalAnswer::rejectDialog(QWidget* dialog)
{
    if (auto* modalDialog = qobject_cast<QDialog*>(dialog))
        modalDialog->reject();
    else
        dialog->close();
}

ModalAnswer::Answer ModalAnswer::pressButton(const QString& text)
{
    return [text](QWidget* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().remove(QLatin1Char('&')) == text)
                    return button->click();
            }
        }
        rejectDialog(dialog);
    };
}

ModalAnswer::Answer ModalAnswer::pressEscape()
{
    return [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); };
}

ModalAnswer::Answer ModalAnswer::chooseFile(const QString& fileName)
{
    return [fileName](QWidget* dialog) {
        auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
        if (!fileDialog)
            return rejectDialog(dialog);
        // Typed the way a user would: selectFile() leaves a focused name field untouched when the
        // dialog's folder listing does not know the file yet.
        if (auto* nameEdit = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            nameEdit->setText(fileName);
        else
            fileDialog->selectFile(fileName);
        // accept() is protected; it is a slot.
        QMetaObject::invokeMethod(fileDialog, "accept", Qt::QueuedConnection);
    };
}

KeyScript::KeyScript(QWidget* window, QStringList steps, std::function<void(const QString&)> other)
    : m_window(window)
    , m_steps(std::move(steps))
    , m_other(std::move(other))
{
    QTimer::singleShot(0, this, &KeyScript::tick);
}

QStringList KeyScript::dialogTitles() const
{
    QStringList titles;
    for (const SeenDialog& dialog : m_dialogs)
        titles << dialog.title;
    return titles;
}

void KeyScript::tick()
{
    record();
    if (m_steps.isEmpty()) {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ModalAnswer::rejectDialog(modal);
        } else if (m_running == 0) {
            m_finished = true;
            return;
        }
        QTimer::singleShot(0, this, &KeyScript::tick);
        return;
    }
    const QString step = m_steps.takeFirst();
    // A fresh timer for the next step: this one does not fire again while its slot is still
    // inside a dialog's event loop.
    QTimer::singleShot(0, this, &KeyScript::tick);
    ++m_running;
    send(step);
    --m_running;
}

void KeyScript::record()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && modal != m_lastDialog) {
        m_dialogs << seeDialog(modal);
        m_lastDialog = modal;
    }
}

int firstKey(const QKeySequence& sequence)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return sequence[0].toCombined();
#else
    return sequence[0];
#endif
}

void KeyScript::send(const QString& step)
{
    static const QString kinds = QStringLiteral("+-*~");
    const int kind = kinds.indexOf(step.left(1));
    const QKeySequence sequence(step.mid(1));
    if (kind < 0 || step.size() < 2 || sequence.count() != 1) {
        if (m_other)
            m_other(step);
        return;
    }
    QWidget* target = QApplication::activeModalWidget();
    if (!target)
        target = m_window;
    if (!target || !target->windowHandle())
        return;
    const int combined = firstKey(sequence);
    const int key = combined & ~int(Qt::KeyboardModifierMask);
    const auto modifiers = Qt::KeyboardModifiers(combined & int(Qt::KeyboardModifierMask));
    const bool press = kind == 0 || kind == 2;
    const bool autorepeat = kind >= 2;
    // The text a keyboard sends with a printable key, which is what a line edit types.
    QString text;
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde
        && !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const QChar character(key);
        text = modifiers & Qt::ShiftModifier ? character.toUpper() : character.toLower();
    }
    // The platform's way in: it sends the ShortcutOverride before the press, as a keyboard does.
    qt_handleKeyEvent(target->windowHandle(), press ? QEvent::KeyPress : QEvent::KeyRelease, key,
        modifiers, text, autorepeat);
}
