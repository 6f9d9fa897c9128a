#include "modaldialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QWindow>

namespace {
// The visible modal widget not seen before, if any.
QWidget* newModal(const QWidget* last)
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal->isVisible() && modal != last ? modal : nullptr;
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
    // The dialog answered last may still be on its way out.
    QWidget* modal = newModal(m_lastAnswered);
    if (!modal) {
        if (--m_remainingPolls <= 0)
            m_timer.stop();
        return;
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    m_dialogs << SeenDialog { modal->windowTitle(), box ? box->text() : QString() };
    m_lastAnswered = modal;
    m_remainingPolls = m_pollsPerDialog;
    m_answers.isEmpty() ? rejectDialog(modal) : m_answers.takeFirst()(modal);
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
        auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!fileDialog || !nameEdit)
            return rejectDialog(dialog);
        // Typed as a user would: selectFile() leaves a focused name field alone when the
        // dialog's listing does not know the file yet.
        nameEdit->setText(fileName);
        QMetaObject::invokeMethod(fileDialog, "accept", Qt::QueuedConnection); // a protected slot
    };
}

KeyScript::KeyScript(QWidget* window, QStringList steps, std::function<void(const QString&)> other)
    : m_window(window)
    , m_steps(std::move(steps))
    , m_other(std::move(other))
{
    QTimer::singleShot(0, this, &KeyScript::tick);
}

void KeyScript::tick()
{
    if (QWidget* modal = newModal(m_lastDialog)) {
        m_titles << modal->windowTitle();
        m_lastDialog = modal;
    }
    if (m_steps.isEmpty() && !QApplication::activeModalWidget() && m_running == 0) {
        m_finished = true;
        return;
    }
    // A fresh timer for the next step: this one does not fire again while its slot is still
    // inside a dialog's event loop.
    QTimer::singleShot(0, this, &KeyScript::tick);
    if (m_steps.isEmpty()) {
        if (QWidget* modal = QApplication::activeModalWidget())
            ModalAnswer::rejectDialog(modal);
        return;
    }
    ++m_running;
    send(m_steps.takeFirst());
    --m_running;
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
    const int kind = QStringLiteral("+-*~").indexOf(step.left(1));
    const QKeySequence sequence(step.mid(1));
    if (kind < 0 || sequence.count() != 1) {
        if (m_other)
            m_other(step);
        return;
    }
    QWidget* target
        = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : m_window.data();
    if (!target || !target->windowHandle())
        return;
    const int key = firstKey(sequence) & ~int(Qt::KeyboardModifierMask);
    const auto modifiers
        = Qt::KeyboardModifiers(firstKey(sequence) & int(Qt::KeyboardModifierMask));
    // The text a keyboard sends with a printable key, which is what a line edit types.
    const bool printable = key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde && !modifiers;
    const QString text = printable ? QString(QChar(key).toLower()) : QString();
    qt_handleKeyEvent(target->windowHandle(), kind % 2 ? QEvent::KeyRelease : QEvent::KeyPress, key,
        modifiers, text, kind >= 2);
}
