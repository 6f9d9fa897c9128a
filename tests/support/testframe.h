#pragma once

#include <QStringList>

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
    using CFrameMainWnd::m_fileLoaded;
    using CFrameMainWnd::m_fileName;
    using CFrameMainWnd::m_fileOpenPath;
    using CFrameMainWnd::m_helpHotKeyId;
    using CFrameMainWnd::m_recordingPath;
    using CFrameMainWnd::m_reportPath;
    using CFrameMainWnd::m_resultPanelHotKeyId;
    using CFrameMainWnd::m_settings;
    using CFrameMainWnd::m_splitter;
    using CFrameMainWnd::m_valueRoot;

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
    void insertMenus() override { steps << QStringLiteral("insertMenus"); }
    void insertMainBar() override { steps << QStringLiteral("insertMainBar"); }
    void insertMainBarHelpText() override { steps << QStringLiteral("insertMainBarHelpText"); }
    void insertFileMenuItems() override { steps << QStringLiteral("insertFileMenuItems"); }
    void insertMainToolBarItems() override { steps << QStringLiteral("insertMainToolBarItems"); }
};
