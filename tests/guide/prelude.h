#pragma once

// What the guide's snippets take as given: its first window, with the members they use.

#include <recording/headerdata.h>

#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>

#include <cframemainwnd.h>
#include <cinfobar.h>
#include <creplaybar.h>
#include <valueselmenu.h>

class MyWindow : public CFrameMainWnd
{
public:
    MyWindow(QString app, QString cfg, QString root);
    void initSplitterWindow() override;
    bool onHotKey(int id) override;
    void snippet(QWidget* parent, Recording2::CHeaderData& header);

protected:
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override;
    bool readMyRecording(const QString&) { return true; }
    void refresh() { }
    int m_refreshHotKeyId = 0;
    CReplayBar* m_replayBar = nullptr;
};
