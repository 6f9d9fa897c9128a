#include "modaldialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

ModalAnswer::ModalAnswer(Answer answer, int timeoutMs)
    : m_answer(std::move(answer))
    , m_remainingPolls(timeoutMs / 10)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswer::poll);
    m_timer.start(10);
}

void ModalAnswer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        if (--m_remainingPolls <= 0)
            m_timer.stop();
        return;
    }
    m_timer.stop();
    m_seen = true;
    m_dialog.className = QString::fromLatin1(modal->metaObject()->className());
    m_dialog.objectName = modal->objectName();
    m_dialog.title = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        m_dialog.text = box->text();
        for (QAbstractButton* button : box->buttons())
            m_dialog.buttons << button->text();
    }
    m_answer(modal);
}

ModalAnswer::Answer ModalAnswer::pressButton(const QString& text)
{
    return [text](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().remove(QLatin1Char('&')) == text) {
                button->click();
                return;
            }
        }
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
            return;
        fileDialog->selectFile(fileName);
        // accept() is protected; it is a slot.
        QMetaObject::invokeMethod(fileDialog, "accept", Qt::QueuedConnection);
    };
}
