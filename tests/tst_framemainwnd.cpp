#include "testenvironment.h"
#include "testframe.h"

#include <guicentral/guicentral.h>

#include <QFrame>
#include <QLayout>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QtTest>

#include <creplaybar.h>
#include <csettings.h>
#include <cstring>

namespace {
// A front end with a replay bar docked where front ends put it.
class LayoutFrame : public TestFrame
{
public:
    CReplayBar* replayBar = nullptr;
    void insertMainBar() override
    {
        replayBar = new CReplayBar(this, "Replay Operations", "/LayoutReplay");
        replayBar->addDockWindow();
    }
};

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Opens the protected virtual operations for the virtual-table test.
class VirtualsFrame : public CFrameMainWnd
{
public:
    using CFrameMainWnd::load;
    using CFrameMainWnd::save;
};
} // namespace

class TestFrameMainWnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_frame")); }

    void configuredFolders_data()
    {
        QTest::addColumn<QString>("cfgName");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("recording");
        QTest::addColumn<QString>("report");
        const QString fallback = QStringLiteral("c:\\temp");
        QTest::newRow("no configuration name") << QString() << QByteArray() << fallback << fallback;
        QTest::newRow("no entries")
            << "frontend" << QByteArray("[Other]\nx=1\n") << fallback << fallback;
        QTest::newRow("recording path only")
            << "frontend" << QByteArray("RecordingPath=/data/rec\n") << "/data/rec" << fallback;
        QTest::newRow("both") << "frontend"
                              << QByteArray("RecordingPath=D:\\\\Data\\\\Rec\nReportPath=/rep\n")
                              << "D:\\Data\\Rec"
                              << "/rep";
    }
    void configuredFolders()
    {
        QFETCH(QString, cfgName);
        QFETCH(QByteArray, ini);
        QFETCH(QString, recording);
        QFETCH(QString, report);
        TestConfigDir dir;
        if (!ini.isEmpty())
            dir.writeIni(QStringLiteral("frontend"), ini);
        TestFrame frame(QStringLiteral("App"), cfgName);
        QCOMPARE(frame.m_fileOpenPath, recording);
        QCOMPARE(frame.m_recordingPath, recording);
        QCOMPARE(frame.m_reportPath, report);
        QCOMPARE(frame.objectName(), QStringLiteral("Frame Application V2.0"));
        QVERIFY(frame.testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(!frame.centralWidget());
        QVERIFY(!frame.m_settings);
        // Reading must not create a file for a configuration that was not there.
        QCOMPARE(QFile::exists(dir.iniPath(QStringLiteral("frontend"))), !ini.isEmpty());
    }

    void registersTheApplicationWideHotKeys()
    {
        TestConfigDir dir;
        TestFrame frame;
        QSet<int> ids { frame.m_helpHotKeyId, frame.m_displayHotKeysId,
            frame.m_resultPanelHotKeyId };
        QCOMPARE(ids.size(), 3);
        QStringList found;
        for (const GuiCentral::HotKey& key : GuiCentral::Instance().HotKeys()) {
            if (ids.contains(key.id)) {
                found << key.key.toString() + QLatin1Char(' ') + key.name;
                QCOMPARE(key.group, QStringLiteral("Application Wide"));
            }
        }
        QCOMPARE(found,
            (QStringList {
                "F1 Help Contents", "Shift+F1 Display Hotkeys", "Space Toggle Result Panel" }));
    }

    void startUpRunsTheStepsInOrder_data()
    {
        QTest::addColumn<bool>("show");
        QTest::newRow("hidden") << false;
        QTest::newRow("shown") << true;
    }
    void startUpRunsTheStepsInOrder()
    {
        QFETCH(bool, show);
        TestConfigDir dir;
        TestFrame frame(QStringLiteral("My Front End"));
        frame.initialize(show);
        const QStringList expected { "initSettings", "readOptions", "initToolBars", "initMainBar",
            "initMenuBar", "initSplitterWindow", "initStatusBar" };
        QStringList steps = frame.steps.filter(QRegularExpression(QStringLiteral("^init|^read")));
        QCOMPARE(steps, expected);
        QCOMPARE(frame.isVisible(), show);
        QCOMPARE(frame.windowTitle(), show ? QStringLiteral("My Front End") : QString());
        QVERIFY(frame.m_settings);

        auto* panel = qobject_cast<QFrame*>(frame.centralWidget());
        QVERIFY(panel);
        QCOMPARE(panel->frameStyle(), int(QFrame::StyledPanel | QFrame::Sunken));
        QCOMPARE(panel->layout()->contentsMargins(), QMargins());
        QVERIFY(frame.m_splitter);
        QCOMPARE(frame.m_splitter->parentWidget(), panel);
        QCOMPARE(frame.m_splitter->orientation(), Qt::Horizontal);
    }

    void openFolderAtStart_data()
    {
        QTest::addColumn<QByteArray>("frontendIni");
        QTest::addColumn<QByteArray>("appIni");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing configured") << QByteArray() << QByteArray() << "file:c:/temp";
        QTest::newRow("configured recording folder")
            << QByteArray("RecordingPath=D:\\\\Data\\\\Rec\n") << QByteArray()
            << "file:D:/Data/Rec";
        QTest::newRow("stored folder wins unchanged")
            << QByteArray("RecordingPath=/configured\n")
            << QByteArray("[Settings]\nFileOpenPath=E:\\\\Stored\n") << "E:\\Stored";
    }
    void openFolderAtStart()
    {
        QFETCH(QByteArray, frontendIni);
        QFETCH(QByteArray, appIni);
        QFETCH(QString, expected);
        TestConfigDir dir;
        dir.writeIni(QStringLiteral("frontend"), frontendIni);
        dir.writeIni(QStringLiteral("tst_frame"), appIni);
        TestFrame frame;
        frame.initialize(false);
        QCOMPARE(frame.m_fileOpenPath, expected);
    }

    void closingDeletesTheFrameAndWritesTheOptions()
    {
        TestConfigDir dir;
        QPointer<TestFrame> frame = new TestFrame;
        frame->initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        frame->m_fileOpenPath = QStringLiteral("/chosen/folder");
        frame->m_settings->recentFiles() << QStringLiteral("/chosen/folder/a.rec");
        frame->close();
        QTRY_VERIFY(frame.isNull());

        QSettings stored(dir.iniPath(QStringLiteral("tst_frame")), QSettings::IniFormat);
        QCOMPARE(
            stored.value("Settings/FileOpenPath").toString(), QStringLiteral("/chosen/folder"));
        QCOMPARE(
            stored.value("Settings/Files1").toString(), QStringLiteral("/chosen/folder/a.rec"));
    }

    // Size, place, maximized state and bar places go through a real settings file.
    void layoutRoundTrip_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<int>("barArea");
        QTest::newRow("moved and resized")
            << QRect(40, 50, 500, 300) << false << int(Qt::TopToolBarArea);
        QTest::newRow("bar docked left")
            << QRect(10, 20, 600, 400) << false << int(Qt::LeftToolBarArea);
        QTest::newRow("maximized") << QRect(30, 30, 400, 300) << true << int(Qt::BottomToolBarArea);
        // A monitor that was unplugged: the window comes back onto the primary screen.
        QTest::newRow("on no screen any more")
            << QRect(9000, 7000, 400, 300) << false << int(Qt::TopToolBarArea);
    }
    void layoutRoundTrip()
    {
        QFETCH(QRect, geometry);
        QFETCH(bool, maximized);
        QFETCH(int, barArea);
        TestConfigDir dir;
        {
            QPointer<LayoutFrame> frame = new LayoutFrame;
            frame->initialize(true);
            QVERIFY(QTest::qWaitForWindowExposed(frame));
            frame->setGeometry(geometry);
            frame->addToolBar(Qt::ToolBarArea(barArea), frame->replayBar);
            if (maximized)
                frame->showMaximized();
            frame->close();
            QTRY_VERIFY(frame.isNull());
        }
        QSettings stored(dir.iniPath(QStringLiteral("tst_frame")), QSettings::IniFormat);
        QVERIFY(!stored.value("Settings/Geometry").toString().isEmpty());
        QVERIFY(!stored.value("Settings/WindowState").toString().isEmpty());

        LayoutFrame frame;
        frame.initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.isMaximized(), maximized);
        QCOMPARE(int(frame.toolBarArea(frame.replayBar)), barArea);
        if (!available().intersects(geometry))
            QVERIFY(available().intersects(frame.frameGeometry()));
        else if (!maximized)
            QCOMPARE(frame.geometry(), geometry);
    }

    // Without a usable stored layout the window gets two thirds of its screen, centred, and
    // its bars their places of the code.
    void defaultLayout_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("remember");
        QMainWindow other;
        other.addToolBar(QStringLiteral("Other Bar"))->setObjectName(QStringLiteral("Other Bar"));
        const QByteArray foreignState = other.saveState(1).toBase64();
        const QByteArray geometry = [] {
            QWidget widget;
            widget.setGeometry(40, 50, 500, 300);
            return widget.saveGeometry().toBase64();
        }();
        QTest::newRow("nothing stored") << QByteArray() << true;
        QTest::newRow("random bytes")
            << QByteArray("[Settings]\nGeometry=3q2+7wABAgMEBQYHCAkKCwwNDg8=\nWindowState=%%%\n")
            << true;
        QTest::newRow("not base64")
            << QByteArray("[Settings]\nGeometry=not base64 at all!\n") << true;
        QTest::newRow("state of another front end") << "[Settings]\nWindowState=" + foreignState
                + "\n" << true;
        QTest::newRow("layout memory turned off") << "[Settings]\nGeometry=" + geometry + "\n"
                                                  << false;
    }
    void defaultLayout()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, remember);
        TestConfigDir dir;
        dir.writeIni(QStringLiteral("tst_frame"), ini);
        LayoutFrame frame;
        frame.setRememberLayout(remember);
        frame.initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QSize expected = available().size() * 2 / 3;
        QCOMPARE(frame.size(), expected);
        QVERIFY((frame.geometry().center() - available().center()).manhattanLength() <= 2);
        QCOMPARE(frame.toolBarArea(frame.replayBar), Qt::TopToolBarArea);
    }

    void metaObject()
    {
        TestConfigDir dir;
        TestFrame frame;
        const QMetaObject& meta = CFrameMainWnd::staticMetaObject;
        QCOMPARE(meta.className(), "CFrameMainWnd");
        QCOMPARE(meta.methodCount() - meta.methodOffset(), 4);
        QCOMPARE(meta.propertyCount(), meta.propertyOffset());
        const char* signatures[]
            = { "fileOpenRecent()", "slotLoad()", "slotSaveAs()", "slotQuit()" };
        for (int i = 0; i < 4; ++i) {
            const QMetaMethod method = meta.method(meta.methodOffset() + i);
            QCOMPARE(method.methodSignature(), QByteArray(signatures[i]));
            QCOMPARE(method.methodType(), QMetaMethod::Slot);
            QCOMPARE(method.access(), QMetaMethod::Protected);
        }
        CFrameMainWnd* base = &frame;
        QCOMPARE(base->qt_metacast("IObserver"), static_cast<void*>(static_cast<IObserver*>(base)));
        QCOMPARE(base->qt_metacast("values::PersistantOwner"),
            static_cast<void*>(static_cast<values::PersistantOwner*>(base)));
        QCOMPARE(
            base->qt_metacast("QMainWindow"), static_cast<void*>(static_cast<QMainWindow*>(base)));
    }

    // Front ends are built against the order of the frame's virtual operations. With the
    // Itanium C++ ABI a pointer to a virtual member holds 1 + the byte offset of its slot.
    void virtualTableOrder()
    {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
        struct Rep
        {
            std::ptrdiff_t ptr;
            std::ptrdiff_t adj;
        };
        const auto slot = [](auto member) {
            static_assert(sizeof(member) == sizeof(Rep));
            Rep rep;
            std::memcpy(&rep, &member, sizeof rep);
            return (rep.ptr - 1) / std::ptrdiff_t(sizeof(void*));
        };
        const QList<std::ptrdiff_t> order {
            slot(&QMainWindow::createPopupMenu),
            slot(&CFrameMainWnd::initialize),
            slot(&CFrameMainWnd::initSettings),
            slot(&CFrameMainWnd::initToolBars),
            slot(&CFrameMainWnd::initMainBar),
            slot(&CFrameMainWnd::initMenuBar),
            slot(&CFrameMainWnd::initStatusBar),
            slot(&CFrameMainWnd::readOptions),
            slot(&CFrameMainWnd::saveOptions),
            slot(&CFrameMainWnd::initSplitterWindow),
            slot(&CFrameMainWnd::insertMenus),
            slot(&CFrameMainWnd::insertMainBar),
            slot(&CFrameMainWnd::insertMainBarHelpText),
            slot(&CFrameMainWnd::openFileDialog),
            slot(&CFrameMainWnd::saveAsFileDialog),
            slot(&CFrameMainWnd::enableFileMenu),
            slot(&CFrameMainWnd::onHotKey),
            slot(&TestFrame::insertFileMenuItems),
            slot(&TestFrame::insertMainToolBarItems),
            slot(&VirtualsFrame::load),
            slot(&VirtualsFrame::save),
            slot(&CFrameMainWnd::ApplyPersistantBeforeWrite),
            slot(&CFrameMainWnd::ApplyPersistantAfterRead),
            slot(&CFrameMainWnd::Update),
        };
        for (int i = 1; i < order.size(); ++i)
            QCOMPARE(order.at(i), order.at(0) + i);
#else
        QSKIP("the slot of a virtual member is read the Itanium C++ ABI's way");
#endif
    }
};

QTEST_MAIN(TestFrameMainWnd)
#include "tst_framemainwnd.moc"
