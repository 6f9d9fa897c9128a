#pragma once

#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QToolBar>

#include <cframemainwnd.h>

/// A frame that opens its protected members to the tests and records the start-up steps it
/// runs.
class TestFrame : public CFrameMainWnd
{
public:
    explicit TestFrame(QString appName = QStringLiteral("Test App"),
        QString cfgName = QStringLiteral("frontend"), QString valueRoot = QStringLiteral("/Test"))
        : CFrameMainWnd(appName, cfgName, valueRoot)
    { }

    using CFrameMainWnd::m_cfgName;
    using CFrameMainWnd::m_displayHotKeysId;
    using CFrameMainWnd::m_exitAction;
    using CFrameMainWnd::m_fileLoaded;
    using CFrameMainWnd::m_fileMenu;
    using CFrameMainWnd::m_fileName;
    using CFrameMainWnd::m_fileOpenPath;
    using CFrameMainWnd::m_firstRecentId;
    using CFrameMainWnd::m_helpHotKeyId;
    using CFrameMainWnd::m_mainToolBar;
    using CFrameMainWnd::m_openAction;
    using CFrameMainWnd::m_recordingPath;
    using CFrameMainWnd::m_reportPath;
    using CFrameMainWnd::m_resultPanelHotKeyId;
    using CFrameMainWnd::m_saveAsAction;
    using CFrameMainWnd::m_settings;
    using CFrameMainWnd::m_splitter;
    using CFrameMainWnd::m_statusLabel;
    using CFrameMainWnd::m_valueRoot;
    using CFrameMainWnd::updateRecentFiles;
    using CFrameMainWnd::updateRecentFilesMenu;

    QStringList steps;

    void initSettings() override
    {
        steps << QStringLiteral("initSettings");
        CFrameMainWnd::initSettings();
    }
    void initToolBars() override
    {
        steps << QStringLiteral("initToolBars");
        CFrameMainWnd::initToolBars();
    }
    void initMainBar() override
    {
        steps << QStringLiteral("initMainBar");
        CFrameMainWnd::initMainBar();
    }
    void initMenuBar() override
    {
        steps << QStringLiteral("initMenuBar");
        CFrameMainWnd::initMenuBar();
    }
    void initStatusBar() override
    {
        steps << QStringLiteral("initStatusBar");
        CFrameMainWnd::initStatusBar();
    }
    void readOptions() override
    {
        steps << QStringLiteral("readOptions");
        CFrameMainWnd::readOptions();
    }
    void initSplitterWindow() override
    {
        steps << QStringLiteral("initSplitterWindow");
        CFrameMainWnd::initSplitterWindow();
    }
    /// When set, every hook adds one item named after the hook: an action on the main tool bar
    /// or in the File menu, or a menu on the menu bar.
    bool addHookItems = false;

    void insertMenus() override { hookMenu("insertMenus"); }
    void insertMainBar() override { hookToolBarItem("insertMainBar"); }
    void insertMainBarHelpText() override { hookToolBarItem("insertMainBarHelpText"); }
    void insertFileMenuItems() override
    {
        steps << QStringLiteral("insertFileMenuItems");
        if (addHookItems)
            m_fileMenu->addAction(QStringLiteral("insertFileMenuItems"));
    }
    void insertMainToolBarItems() override { hookToolBarItem("insertMainToolBarItems"); }

private:
    void hookToolBarItem(const char* hook)
    {
        steps << QLatin1String(hook);
        if (addHookItems)
            m_mainToolBar->addAction(QLatin1String(hook));
    }
    void hookMenu(const char* hook)
    {
        steps << QLatin1String(hook);
        if (addHookItems)
            menuBar()->addMenu(QLatin1String(hook));
    }
};
