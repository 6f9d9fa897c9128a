#include "modaldialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QWindow>

// The visible modal widget other than `last` (which may still be on its way out), if any.
static QWidget* newModal(QPointer<QWidget>& last)
{
    QWidget* modal = QApplication::activeModalWidget();
    return !modal || !modal->isVisible() || modal == last ? nullptr : (last = modal).data();
}

ModalAnswer::ModalAnswer(QList<Answer> answers, int timeoutMs)
    : m_answers(std::move(answers))
{
    // Polled: the dialog runs its own event loop inside the code under test.
    connect(&m_timer, &QTimer::timeout, this,
        [this, polls = timeoutMs / 10, left = timeoutMs / 10]() mutable {
            QWidget* modal = newModal(m_last);
            if (!modal && --left <= 0)
                m_timer.stop();
            if (!modal)
                return;
            auto* box = qobject_cast<QMessageBox*>(modal);
            m_dialogs << SeenDialog { modal->windowTitle(), box ? box->text() : QString() };
            left = polls;
            m_answers.isEmpty() ? rejectDialog(modal) : m_answers.takeFirst()(modal);
        });
    m_timer.start(10);
}

void ModalAnswer::rejectDialog(QWidget* dialog)
{
    auto* modal = qobject_cast<QDialog*>(dialog);
    modal ? modal->reject() : void(dialog->close());
}

ModalAnswer::Answer ModalAnswer::pressButton(const QString& text)
{
    return [text](QWidget* dialog) {
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
            if (button->text().remove('&') == text)
                return button->click();
        QTest::keyClick(dialog, Qt::Key_Escape);
    };
}

ModalAnswer::Answer ModalAnswer::chooseFile(const QString& fileName)
{
    return [fileName](QWidget* dialog) {
        auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!nameEdit)
            return rejectDialog(dialog);
        // Typed as a user would: selectFile() leaves a focused name field alone when the
        // dialog's listing does not know the file yet.
        nameEdit->setText(fileName);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection); // a protected slot
    };
}

int firstKey(const QKeySequence& sequence)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return sequence[0].toCombined();
#else
    return sequence[0];
#endif
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
    if (QWidget* modal = newModal(m_last))
        m_titles << modal->windowTitle();
    QWidget* modal = QApplication::activeModalWidget();
    m_finished = m_steps.isEmpty() && !modal && m_running == 0;
    if (m_finished)
        return;
    // A fresh timer for the next step: this one does not fire again while its slot is still
    // inside a dialog's event loop.
    QTimer::singleShot(0, this, &KeyScript::tick);
    if (m_steps.isEmpty())
        return modal ? ModalAnswer::rejectDialog(modal) : void();
    const QString step = m_steps.takeFirst();
    const int kind = QStringLiteral("+-*~").indexOf(step.left(1));
    const QKeySequence sequence(step.mid(1));
    const int key = firstKey(sequence) & ~int(Qt::KeyboardModifierMask);
    const auto modifiers = Qt::KeyboardModifiers(firstKey(sequence)) & Qt::KeyboardModifierMask;
    // The text a keyboard sends with a printable key, which is what a line edit types.
    const bool printable = key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde && !modifiers;
    QWidget* target = modal ? modal : m_window.data();
    ++m_running;
    if ((kind < 0 || sequence.count() != 1) && m_other)
        m_other(step);
    else if (kind >= 0 && sequence.count() == 1 && target && target->windowHandle())
        qt_handleKeyEvent(target->windowHandle(), kind % 2 ? QEvent::KeyRelease : QEvent::KeyPress,
            key, modifiers, printable ? QString(QChar(key).toLower()) : QString(), kind >= 2);
    --m_running;
}
