#pragma once

#include <QMenu>
#include <QToolBar>

#include <cframemainwnd.h>

/// A frame that opens its protected members to the tests.
class TestFrame : public CFrameMainWnd
{
public:
    explicit TestFrame(QString appName = QStringLiteral("Test App"),
        QString cfgName = QStringLiteral("frontend"), QString valueRoot = QStringLiteral("/Test"))
        : CFrameMainWnd(appName, cfgName, valueRoot)
    { }

    using CFrameMainWnd::insertMainToolBarItems;
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::m_fileLoaded;
    using CFrameMainWnd::m_fileMenu;
    using CFrameMainWnd::m_fileName;
    using CFrameMainWnd::m_fileOpenPath;
    using CFrameMainWnd::m_firstRecentId;
    using CFrameMainWnd::m_lastOpenFolder;
    using CFrameMainWnd::m_mainToolBar;
    using CFrameMainWnd::m_openAction;
    using CFrameMainWnd::m_recordingPath;
    using CFrameMainWnd::m_reportPath;
    using CFrameMainWnd::m_saveAsAction;
    using CFrameMainWnd::m_settings;
    using CFrameMainWnd::m_valueRoot;
    using CFrameMainWnd::updateRecentFiles;
};
