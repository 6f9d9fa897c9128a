#include "talvohelpmenu.h"

#include <guicentral/guicentral.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {
QUrl localHelpUrl(const QString& helpFile)
{
    if (helpFile.isEmpty())
        return {};
    // Only local files: a URL such as http://… or file://… in the configuration is not
    // followed, so a configuration cannot make the menu open arbitrary locations.
    QFileInfo info(QDir(QCoreApplication::applicationDirPath()), helpFile);
    if (!info.isFile())
        return {};
    return QUrl::fromLocalFile(info.absoluteFilePath());
}
} // namespace

TalvoHelpMenu::TalvoHelpMenu(QString helpFile, QWidget* parent)
    : QMenu(tr("&Help"), parent)
    , m_helpUrl(localHelpUrl(helpFile))
{
    setObjectName(QStringLiteral("Help"));
    m_helpContents = addAction(tr("Help Contents"), this, &TalvoHelpMenu::showHelpContents);
    m_helpContents->setObjectName(QStringLiteral("Help Contents"));
    m_helpContents->setEnabled(m_helpUrl.isValid());
    m_hotKeys = addAction(tr("Hotkeys..."), this, &TalvoHelpMenu::showHotKeys);
    m_hotKeys->setObjectName(QStringLiteral("Hotkeys"));
    addSeparator();
    m_aboutQt = addAction(tr("About Qt"), qApp, &QApplication::aboutQt);
    m_aboutQt->setObjectName(QStringLiteral("About Qt"));
    m_aboutQt->setMenuRole(QAction::AboutQtRole);
}

void TalvoHelpMenu::showHelpContents()
{
    if (m_helpUrl.isValid())
        QDesktopServices::openUrl(m_helpUrl);
}

void TalvoHelpMenu::showHotKeys()
{
    GuiCentral::Instance().ExecHotKeysDialog(parentWidget());
}
