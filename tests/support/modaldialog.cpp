#include "modaldialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

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
    SeenDialog seen;
    seen.className = QString::fromLatin1(modal->metaObject()->className());
    seen.objectName = modal->objectName();
    seen.title = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        seen.text = box->text();
        for (QAbstractButton* button : box->buttons())
            seen.buttons << button->text();
    }
    m_dialogs << seen;
    m_lastAnswered = modal;
    m_remainingPolls = m_pollsPerDialog;
    // A dialog nobody expected is closed, so that the test fails on what it sees instead of
    // waiting forever in the dialog's event loop.
    if (m_answers.isEmpty()) {
        rejectDialog(modal);
        return;
    }
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
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box) {
            rejectDialog(dialog);
            return;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().remove(QLatin1Char('&')) == text) {
                button->click();
                return;
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
        if (!fileDialog) {
            rejectDialog(dialog);
            return;
        }
        // Typed the way a user would: selectFile() leaves a focused name field untouched when the
        // dialog's folder listing does not know the file yet.
        auto* nameEdit = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (nameEdit)
            nameEdit->setText(fileName);
        else
            fileDialog->selectFile(fileName);
        // accept() is protected; it is a slot.
        QMetaObject::invokeMethod(fileDialog, "accept", Qt::QueuedConnection);
    };
}
