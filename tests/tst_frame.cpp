// The frame as a front end builds on it: construction, bars and menus, hot keys, its values, its
// layout and settings through real files, and the binary interface front ends are built against.

#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <startup/cfgcenter.h>
#include <tevbase/errorhandler.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTableWidget>
#include <QtTest>

#include <cpersistant.h>
#include <cpersistantstringlist.h>
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

// Records what its hot-key handler answered.
class HotKeyFrame : public TestFrame
{
public:
    QList<QPair<int, bool>> answers;
    bool onHotKey(int id) override
    {
        answers << qMakePair(id, TestFrame::onHotKey(id));
        return answers.last().second;
    }
};

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

    std::unique_ptr<TestConfigDir> m_dir;

    static QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    static values::Tree& tree() { return *values::Tree::Instance(); }
    static QString texts(const QList<QAction*>& actions)
    {
        QStringList result;
        for (QAction* action : actions)
            result << (action->isSeparator() ? QStringLiteral("|") : action->text());
        return result.join(',');
    }
    static QByteArray numberedKeys(int count)
    {
        QByteArray ini = "[Settings]\n";
        for (int i = 1; i <= count; ++i)
            ini += "Files" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\n";
        return ini;
    }

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_frame")); }
    void init() { m_dir = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_dir.reset(); }

    // The folders of the front end's configuration, and the open folder the settings hold.
    void configuredFolders_data()
    {
        QTest::addColumn<QString>("cfgName");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QByteArray>("appIni");
        QTest::addColumn<QString>("folders"); // recording | report | open
        QTest::newRow("no configuration name")
            << QString() << QByteArray() << QByteArray() << "c:\\temp|c:\\temp|file:c:/temp";
        QTest::newRow("no entries") << "frontend" << QByteArray("[Other]\nx=1\n") << QByteArray()
                                    << "c:\\temp|c:\\temp|file:c:/temp";
        QTest::newRow("typed by a person")
            << "frontend" << QByteArray("RecordingPath=D:\\Data\\Rec\nReportPath=/rep\n")
            << QByteArray() << "D:\\Data\\Rec|/rep|file:D:/Data/Rec";
        QTest::newRow("stored open folder wins unchanged")
            << "frontend" << QByteArray("RecordingPath=/configured\n")
            << QByteArray("[Settings]\nFileOpenPath=E:\\Stored\n")
            << "/configured|c:\\temp|E:\\Stored";
    }
    void configuredFolders()
    {
        QFETCH(QString, cfgName);
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, appIni);
        QFETCH(QString, folders);
        if (!ini.isEmpty())
            m_dir->writeIni(QStringLiteral("frontend"), ini);
        m_dir->writeIni(QStringLiteral("tst_frame"), appIni);
        TestFrame frame(QStringLiteral("App"), cfgName);
        // Reading must not create a file for a configuration that was not there.
        QCOMPARE(QFile::exists(m_dir->iniPath(QStringLiteral("frontend"))), !ini.isEmpty());
        frame.initialize(false);
        QCOMPARE(
            frame.m_recordingPath + '|' + frame.m_reportPath + '|' + frame.m_fileOpenPath, folders);
    }

    // Bars and menus with and without the hooks' items: the recent entries come from "Files1"..
    // "Files9", the help entry follows the configured help file.
    void barsAndMenus_data()
    {
        QTest::addColumn<bool>("hooks");
        QTest::addColumn<QString>("helpFile");
        QTest::addColumn<QString>("bars"); // tool bar / File menu / menu bar
        const QString plain = "&Open File,&Save as file...,| / &Open File,&Save as file...,|,Exit,"
                              "&1 1,&2 2 / File,|,&Help";
        QTest::newRow("no help file") << false << QString() << plain;
        QTest::newRow("missing help file") << false << "/nonexistent/help.html" << plain;
        QTest::newRow("an item in every hook, help file")
            << true << "help.html"
            << "&Open File,&Save as file...,insertMainToolBarItems,|,insertMainBar,"
               "insertMainBarHelpText / &Open File,&Save as file...,insertFileMenuItems,|,Exit,"
               "&1 1,&2 2 / File,insertMenus,|,&Help";
    }
    void barsAndMenus()
    {
        QFETCH(bool, hooks);
        QFETCH(QString, helpFile);
        QFETCH(QString, bars);
        const bool helpEnabled = helpFile == "help.html";
        if (helpEnabled) {
            helpFile = m_dir->path() + "/help.html";
            QVERIFY(QFile(helpFile).open(QIODevice::WriteOnly));
        }
        m_dir->writeIni(QStringLiteral("frontend"), "HelpFile=" + helpFile.toUtf8() + "\n");
        m_dir->writeIni(QStringLiteral("tst_frame"), numberedKeys(2));
        TestFrame frame;
        frame.addHookItems = hooks;
        frame.initialize(false);
        // A stored window state finds the bar by this name.
        QCOMPARE(frame.m_mainToolBar->objectName(), QStringLiteral("File Operations"));
        QCOMPARE(texts(frame.m_mainToolBar->actions()) + " / " + texts(frame.m_fileMenu->actions())
                + " / " + texts(frame.menuBar()->actions()),
            bars);
        QCOMPARE(texts(frame.m_fileMenu->actions().mid(frame.m_firstRecentId)), "&1 1,&2 2");
        QCOMPARE(
            frame.menuBar()->actions().last()->menu()->actions().first()->isEnabled(), helpEnabled);
        QVERIFY(!frame.m_saveAsAction->isEnabled());

        // enableFileMenu(false) disables exactly Open, Exit and the recent entries: not an
        // entry without data, nor one that repeats the id of the first recent entry.
        frame.m_saveAsAction->setEnabled(true);
        QAction* noData = frame.m_fileMenu->addAction(QStringLiteral("no data"));
        QAction* sameId = frame.m_fileMenu->addAction(QStringLiteral("same id"));
        sameId->setData(frame.m_firstRecentId);
        frame.enableFileMenu(false);
        for (QAction* action : frame.m_fileMenu->actions()) {
            const bool disabled = action == frame.m_openAction || action == frame.m_exitAction
                || (action->data().isValid() && action != sameId);
            QVERIFY2(action->isEnabled() != disabled, qPrintable(action->text()));
        }
        frame.enableFileMenu(true);
        QVERIFY(frame.m_exitAction->isEnabled() && frame.m_openAction->isEnabled());
        // Actions appended after the menu was built take places of the nine entries.
        frame.m_settings->recentFiles() << "3"
                                        << "4"
                                        << "5"
                                        << "6"
                                        << "7"
                                        << "8"
                                        << "9"
                                        << "10";
        frame.updateRecentFilesMenu();
        QCOMPARE(frame.m_fileMenu->actions().size(), frame.m_firstRecentId + 9);
        QCOMPARE(frame.m_fileMenu->actions().at(frame.m_firstRecentId), noData);
    }

    // Hot keys pressed on a shown window: F1 shows the list; the others go on to Qt.
    void hotKeys()
    {
        auto* frame = new HotKeyFrame;
        frame->initialize(true);
        auto* edit = new QLineEdit;
        frame->m_splitter->addWidget(edit);
        // Menu shortcuts such as Exit's Alt+F4 work only in the active window.
        QApplication::setActiveWindow(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame));
        edit->setFocus();
        QPointer<HotKeyFrame> guard(frame);
        QSignalSpy exits(frame->m_exitAction, &QAction::triggered);

        // F1 as a keyboard sends it: released while the list is open, which Escape closes.
        int listedRows = 0;
        KeyScript f1(frame, { "+F1", "-F1", "look", "+Esc", "-Esc" }, [&](const QString&) {
            QWidget* dialog = QApplication::activeModalWidget();
            if (auto* table = dialog ? dialog->findChild<QTableWidget*>() : nullptr)
                listedRows = table->rowCount();
        });
        QTRY_VERIFY(f1.finished());
        QCOMPARE(f1.dialogTitles(), QStringList { "Hotkeys" });
        QVERIFY(listedRows >= 4);
        QCOMPARE(frame->answers, (QList<QPair<int, bool>> { { frame->m_helpHotKeyId, true } }));

        QTest::keyClick(edit, Qt::Key_F1, Qt::ShiftModifier);
        QTest::keyClick(edit, Qt::Key_Space);
        QCOMPARE(edit->text(), QStringLiteral(" "));
        QCOMPARE(exits.count(), 0);
        // The closed dialog handed the activation back; on the offscreen platform by hand.
        QApplication::setActiveWindow(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(edit, Qt::Key_F4, Qt::AltModifier);
        QCOMPARE(exits.count(), 1);
        QTRY_VERIFY(guard.isNull());
    }

    // Size, place, maximized state, bar places, open folder and recent files go through a real
    // settings file; the quit ends the event loop and writes them.
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
        QPointer<LayoutFrame> frame = new LayoutFrame;
        frame->initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        frame->setGeometry(geometry);
        frame->addToolBar(Qt::ToolBarArea(barArea), frame->replayBar);
        if (maximized)
            frame->showMaximized();
        frame->m_fileOpenPath = QStringLiteral("/chosen/folder");
        for (int i = 1; i <= 9; ++i)
            frame->updateRecentFiles(QStringLiteral("/r/%1.rec").arg(i));
        // Slot 3 is slotQuit.
        const QMetaMethod quit = CFrameMainWnd::staticMetaObject.method(
            CFrameMainWnd::staticMetaObject.methodOffset() + 3);
        QTimer::singleShot(0, frame, [&] { quit.invoke(frame, Qt::DirectConnection); });
        // Another window stays open: the quit itself must end the event loop.
        QWidget other;
        other.show();
        QTimer::singleShot(5000, &other, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frame.isNull());

        const QStringList lines
            = QString::fromUtf8(fileBytes(m_dir->iniPath(QStringLiteral("tst_frame")))).split('\n');
        QVERIFY(lines.contains(QStringLiteral("[Settings]")));
        QVERIFY(lines.contains(QStringLiteral("FileOpenPath=/chosen/folder")));
        for (int i = 1; i <= 9; ++i)
            QVERIFY(lines.contains(QStringLiteral("Files%1=/r/%1.rec").arg(i)));
        QCOMPARE(lines.filter(QRegularExpression("^(Geometry|WindowState)=.{8}")).size(), 2);

        LayoutFrame again;
        again.initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.isMaximized(), maximized);
        QCOMPARE(int(again.toolBarArea(again.replayBar)), barArea);
        if (!available().intersects(geometry))
            QVERIFY(available().intersects(again.frameGeometry()));
        else if (!maximized)
            QCOMPARE(again.geometry(), geometry);
    }

    // Without a usable stored layout the window gets two thirds of its screen, centred, and its
    // bars their places of the code.
    void defaultLayout_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("remember");
        QMainWindow other;
        other.addToolBar(QStringLiteral("Other Bar"))->setObjectName(QStringLiteral("Other Bar"));
        QWidget widget;
        widget.setGeometry(40, 50, 500, 300);
        const QByteArray settings = "[Settings]\n";
        QTest::newRow("nothing stored") << QByteArray() << true;
        QTest::newRow("random bytes")
            << settings + "Geometry=3q2+7wABAgMEBQYHCAkKCwwNDg8=\nWindowState=%%%\n"
            << true;
        QTest::newRow("not base64") << settings + "Geometry=not base64 at all!\n" << true;
        QTest::newRow("state of another front end")
            << settings + "WindowState=" + other.saveState(1).toBase64() + "\n"
            << true;
        QTest::newRow("layout memory turned off")
            << settings + "Geometry=" + widget.saveGeometry().toBase64() + "\n"
            << false;
    }
    void defaultLayout()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, remember);
        m_dir->writeIni(QStringLiteral("tst_frame"), ini);
        LayoutFrame frame;
        frame.setRememberLayout(remember);
        frame.initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.size(), available().size() * 2 / 3);
        QVERIFY((frame.geometry().center() - available().center()).manhattanLength() <= 2);
        QCOMPARE(frame.toolBarArea(frame.replayBar), Qt::TopToolBarArea);
    }

    // "FileLoaded" and "FileName" under the value root; a second frame of the root takes them
    // over, and they outlive both frames.
    void frameValues_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("plain root") << QString("/Replay") << QString("/Replay/");
        QTest::newRow("root with trailing slash") << QString("/Recorder/") << QString("/Recorder/");
        QTest::newRow("empty root") << QString() << QString("/");
    }
    void frameValues()
    {
        QFETCH(QString, root);
        QFETCH(QString, prefix);
        values::ValueSelection* loaded = nullptr;
        {
            TestFrame frame(QStringLiteral("App"), QString(), root);
            loaded = tree().Find<values::ValueSelection>(prefix + "FileLoaded");
            QCOMPARE(frame.m_fileLoaded, loaded);
            QCOMPARE(frame.m_fileName, tree().Find<values::StringValue>(prefix + "FileName"));
            QCOMPARE(loaded->GetStringValue(), QStringLiteral("Off"));
            loaded->Select(QStringLiteral("On"));
            frame.m_fileName->SetValue(QStringLiteral("/rec/a.rec"));

            TestFrame second(QStringLiteral("App"), QString(), root);
            QCOMPARE(second.m_fileLoaded, loaded);
            QCOMPARE(second.m_fileName, frame.m_fileName);
            QStringList items;
            for (int i = 0; i < loaded->GetItemCount(); ++i)
                items << loaded->GetItem(i)->GetName() + '='
                        + QString::number(loaded->GetItem(i)->GetKey());
            QCOMPARE(items.join(',') + ' ' + loaded->GetStringValue(), "On=1,Off=0 On");
            QCOMPARE(second.m_fileName->GetValue(), QStringLiteral("No File Loaded"));
            QCOMPARE(loaded->ObserverCount() + second.m_fileName->ObserverCount(), 4);
        }
        QCOMPARE(tree().Find<values::ValueSelection>(prefix + "FileLoaded"), loaded);
        QCOMPARE(loaded->ObserverCount(), 0);
        QVERIFY(
            tree().RemoveValue(prefix + "FileLoaded") && tree().RemoveValue(prefix + "FileName"));
    }

    void valuesOfAnotherTypeAreNotUsed()
    {
        const QString root = QStringLiteral("/OtherTypes");
        QVERIFY(tree().AddValue(root, new values::StringValue(QStringLiteral("FileLoaded"))));
        QVERIFY(tree().AddValue(root, new values::ValueSelection(QStringLiteral("FileName"))));
        ErrorHandler::Instance().SetFlags(ErrorHandler::Traces);
        QTest::ignoreMessage(QtInfoMsg,
            QRegularExpression("MEMORY LEAK! The value with the path "
                               "'/OtherTypes/FileName' could not"));
        TestFrame frame(QStringLiteral("App"), QString(), root);
        ErrorHandler::Instance().SetFlags(ErrorHandler::Assertions);
        QVERIFY(!frame.m_fileLoaded);
        // The frame works on a "FileName" of its own that nobody else sees.
        QVERIFY(frame.m_fileName && frame.m_fileName->GetPath().isEmpty());
        frame.initialize(false);
    }

    void endingValuesAreReleased()
    {
        TestFrame frame(QStringLiteral("App"), QString(), QStringLiteral("/Ending"));
        // An end notice while the value is still valid changes nothing.
        frame.m_fileName->NotifyObservers(CC_Ending);
        frame.m_fileLoaded->NotifyObservers(CC_Ending);
        QVERIFY(frame.m_fileName && frame.m_fileLoaded);
        QVERIFY(tree().RemoveValue(QStringLiteral("/Ending/FileName")));
        QVERIFY(!frame.m_fileName && frame.m_fileLoaded);
        QVERIFY(tree().RemoveValue(QStringLiteral("/Ending/FileLoaded")));
        QVERIFY(!frame.m_fileLoaded);
    }

    // The numbered keys as a file holds them; with `write`, `list` is written over it first.
    void recentKeys_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QStringList>("expected");
        const QStringList nine { "1", "2", "3", "4", "5", "6", "7", "8", "9" };
        QStringList withoutFifth = nine;
        withoutFifth.removeAt(4);
        // Names a file system allows: each comes back as it was, and none disturbs another.
        const QStringList hostile { "/data/line\nbreak.rec", " /data/blank at both ends.rec ",
            "C:\\Data\\Rec\\a.rec", "/data/\"quoted, with comma\".rec", "@String(x)",
            QString("/data/lone") + QChar(0xDC00) + ".rec", "/data/\r\t.rec" };
        QTest::newRow("gaps leave no hole")
            << QByteArray("[Settings]\nFiles1=a\nFiles2=\nFiles3=c\n") << false << QStringList()
            << QStringList { "a", "c" };
        QTest::newRow("tenth key never read") << numberedKeys(10) << false << QStringList() << nine;
        QTest::newRow("appends to the list")
            << numberedKeys(1) << false << QStringList { "x" } << QStringList { "x", "1" };
        QTest::newRow("shorter after longer")
            << numberedKeys(5) << true << QStringList { "x", "y" } << QStringList { "x", "y" };
        QTest::newRow("empty clears") << numberedKeys(9) << true << QStringList() << QStringList();
        QTest::newRow("one removed from a full list")
            << numberedKeys(9) << true << withoutFifth << withoutFifth;
        QTest::newRow("more than nine")
            << QByteArray() << true << nine + QStringList { "10", "11" } << nine;
        QTest::newRow("names with line breaks and escapes")
            << numberedKeys(9) << true << hostile << hostile;
    }
    void recentKeys()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, write);
        QFETCH(QStringList, list);
        QFETCH(QStringList, expected);
        m_dir->writeIni(QStringLiteral("store"), ini);
        const auto group = [] {
            std::unique_ptr<ICfg> top(
                CfgCenter::CreateCfg(QStringLiteral("store"), ICfg::DefaultView, {}));
            return std::unique_ptr<ICfg>(top->GetSubCfg(QStringLiteral("Settings"), 0));
        };
        CPersistantStringList entry(&list, QStringLiteral("Files"), {});
        if (write) {
            entry.Write(group().get());
            list.clear();
        }
        entry.Read(group().get());
        QCOMPARE(list, expected);
    }

    // Each record stores its own members through its own group; destroying both must not free
    // one group twice (the sanitizer build catches that).
    void settingsCopiesStoreTheirOwnMembers()
    {
        auto original = std::make_unique<CSettings>(QStringLiteral("Original"), nullptr);
        original->recentFiles() << QStringLiteral("shared");
        original->fileOpenPath() = QStringLiteral("/shared");
        CSettings copy(*original);
        CSettings assigned(QStringLiteral("Other"), nullptr);
        assigned = *original;
        assigned = assigned;
        copy.recentFiles() << QStringLiteral("copy only");
        original.reset();
        copy.write(QString());
        CSettings reread(QStringLiteral("Original"), nullptr);
        reread.read(QString());
        QCOMPARE(reread.recentFiles(), (QStringList { "shared", "copy only" }));
        QCOMPARE(assigned.recentFiles(), QStringList { "shared" });
        assigned.persistant()->RestoreDefaults();
        QVERIFY(assigned.recentFiles().isEmpty() && assigned.fileOpenPath().isEmpty());
        QCOMPARE(copy.recentFiles().size(), 2);
    }

    void metaObject()
    {
        TestFrame frame;
        const QMetaObject& meta = CFrameMainWnd::staticMetaObject;
        QCOMPARE(meta.className(), "CFrameMainWnd");
        QCOMPARE(meta.propertyCount(), meta.propertyOffset());
        QStringList methods; // all protected slots
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod method = meta.method(i);
            methods << method.methodSignature()
                    + (method.methodType() == QMetaMethod::Slot
                                && method.access() == QMetaMethod::Protected
                            ? ""
                            : "!");
        }
        QCOMPARE(methods.join(' '), "fileOpenRecent() slotLoad() slotSaveAs() slotQuit()");
        CFrameMainWnd* base = &frame;
        QCOMPARE(base->qt_metacast("IObserver"), static_cast<void*>(static_cast<IObserver*>(base)));
        QCOMPARE(base->qt_metacast("values::PersistantOwner"),
            static_cast<void*>(static_cast<values::PersistantOwner*>(base)));
        QCOMPARE(
            base->qt_metacast("QMainWindow"), static_cast<void*>(static_cast<QMainWindow*>(base)));
    }

    // Front ends are built against the order of the frame's virtual operations. With the Itanium
    // C++ ABI a pointer to a virtual member holds 1 + the byte offset of its slot.
    void virtualTableOrder()
    {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
        const auto slot = [](auto member) {
            std::ptrdiff_t rep[2];
            static_assert(sizeof(member) == sizeof(rep));
            std::memcpy(rep, &member, sizeof rep);
            return (rep[0] - 1) / std::ptrdiff_t(sizeof(void*));
        };
        const QList<std::ptrdiff_t> order { slot(&QMainWindow::createPopupMenu),
            slot(&CFrameMainWnd::initialize), slot(&CFrameMainWnd::initSettings),
            slot(&CFrameMainWnd::initToolBars), slot(&CFrameMainWnd::initMainBar),
            slot(&CFrameMainWnd::initMenuBar), slot(&CFrameMainWnd::initStatusBar),
            slot(&CFrameMainWnd::readOptions), slot(&CFrameMainWnd::saveOptions),
            slot(&CFrameMainWnd::initSplitterWindow), slot(&CFrameMainWnd::insertMenus),
            slot(&CFrameMainWnd::insertMainBar), slot(&CFrameMainWnd::insertMainBarHelpText),
            slot(&CFrameMainWnd::openFileDialog), slot(&CFrameMainWnd::saveAsFileDialog),
            slot(&CFrameMainWnd::enableFileMenu), slot(&CFrameMainWnd::onHotKey),
            slot(&TestFrame::insertFileMenuItems), slot(&TestFrame::insertMainToolBarItems),
            slot(&VirtualsFrame::load), slot(&VirtualsFrame::save),
            slot(&CFrameMainWnd::ApplyPersistantBeforeWrite),
            slot(&CFrameMainWnd::ApplyPersistantAfterRead), slot(&CFrameMainWnd::Update) };
        for (int i = 1; i < order.size(); ++i)
            QCOMPARE(order.at(i), order.at(0) + i);
#else
        QSKIP("the slot of a virtual member is read the Itanium C++ ABI's way");
#endif
    }
};

QTEST_MAIN(TestFrameMainWnd)
#include "tst_frame.moc"
