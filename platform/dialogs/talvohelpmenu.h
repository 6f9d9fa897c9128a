#pragma once

#include <dialogs/dialogs_export.h>

#include <QMenu>
#include <QUrl>

class QAction;

/// The "&Help" menu of an application: the help file, the hot-key list and "About Qt".
///
/// The help file must be a local file: an absolute path, or one relative to the folder of the
/// application's executable. "Help Contents" is disabled when the name is empty or the file
/// does not exist.
class DIALOGS_EXPORT TalvoHelpMenu : public QMenu
{
    Q_OBJECT
public:
    explicit TalvoHelpMenu(QString helpFile = QString(), QWidget* parent = nullptr);

    /// The help file as a local URL; empty when there is none.
    QUrl helpUrl() const { return m_helpUrl; }

    QAction* helpContentsAction() const { return m_helpContents; }
    QAction* hotKeysAction() const { return m_hotKeys; }
    QAction* aboutQtAction() const { return m_aboutQt; }

public Q_SLOTS:
    /// Opens the help file with the desktop's viewer.
    void showHelpContents();
    /// Shows the list of hot keys.
    void showHotKeys();

private:
    QUrl m_helpUrl;
    QAction* m_helpContents;
    QAction* m_hotKeys;
    QAction* m_aboutQt;
};
