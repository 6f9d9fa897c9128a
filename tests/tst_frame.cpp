// The frame as a front end builds on it: bars, menus and hot keys, what it stores through real
// files, opening files (in use by real processes, dropped, recent, from a stalled archive), and
// the binary interface front ends are built against.

#include "holdfile.h"
#include "httpserver.h"
#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <startup/cfgcenter.h>
#include <tevbase/errorhandler.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

#include <cpersistant.h>
#include <cpersistantstringlist.h>
#include <creplaybar.h>
#include <csettings.h>
#include <cstring>

namespace {
// Records its loads ("<file>|<display name>|<is local>"), the names "FileName" announced and its
// hot keys; with a replay bar docked where front ends put it.
class Frame : public TestFrame
{
public:
    using TestFrame::TestFrame;
    bool withReplayBar = false;
    CReplayBar* replayBar = nullptr;
    QStringList loads, announced;
    QList<QPair<int, bool>> hotKeys;

    void insertMainBar() override
    {
        if (withReplayBar) {
            replayBar = new CReplayBar(this, "Replay Operations", "/Replay");
            replayBar->setObjectName(QStringLiteral("Replay Operations")); // for the stored state
            replayBar->addDockWindow();
        }
    }
    bool onHotKey(int id) override
    {
        hotKeys << qMakePair(id, TestFrame::onHotKey(id));
        return hotKeys.last().second;
    }
    void Update(Observable* observable, TChangeCode code) override
    {
        if (observable == m_fileName && code == CC_Changed)
            announced << m_fileName->GetValue();
        TestFrame::Update(observable, code);
    }
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override
    {
        loads << fileName + '|' + displayName + '|' + QString::number(isLocal);
        TestFrame::load(fileName, displayName, isLocal); // the title
        return true;
    }
    using TestFrame::save;
};

QString texts(const QList<QAction*>& actions)
{
    QStringList result;
    for (QAction* action : actions)
        result << (action->isSeparator() ? QStringLiteral("|")
                                         : action->text() + (action->isEnabled() ? "" : "-"));
    return result.join(',');
}

void writeFile(const QString& path, const QByteArray& data = "recording")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
}

} // namespace

class TestFrameMainWnd : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    QTemporaryDir m_files;
    int m_roots = 0;

    QString path(const QString& name) const { return m_files.filePath(name); }
    static values::Tree& tree() { return *values::Tree::Instance(); }
    static QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    static bool hasDefaultLayout(Frame& frame)
    {
        return frame.size() == available().size() * 2 / 3
            && (frame.geometry().center() - available().center()).manhattanLength() <= 2
            && frame.toolBarArea(frame.replayBar) == Qt::TopToolBarArea;
    }

    // A shown frame on a value root of its own.
    std::unique_ptr<Frame> makeFrame()
    {
        auto frame = std::make_unique<Frame>(QStringLiteral("App"), QStringLiteral("frontend"),
            QStringLiteral("/Frame%1").arg(++m_roots));
        frame->initialize(true);
        return frame;
    }

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_frame")); }
    void init()
    {
        m_config = std::make_unique<TestConfigDir>();
        QDir(m_files.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_files.path()));
        QDir::setCurrent(m_files.path()); // where relative names lead
    }
    void cleanup() { m_config.reset(); }

    // Each hook's item in its place; disabled ("-") by enableFileMenu(false) are exactly Open,
    // Exit and the recent entries, not an entry without data or repeating the first entry's id;
    // the help entry follows the configured help file.
    void barsAndMenus_data()
    {
        QTest::addColumn<bool>("hooks");
        QTest::addColumn<QString>("helpFile");
        QTest::addColumn<QString>("bars"); // tool bar / File menu / Help menu / menu bar
        const QString plain = "&Open File-,&Save as file...,| / &Open File-,&Save as file...,|,"
                              "Exit-,&1 /a-,no data,same id / Help Contents- / File,|,&Help";
        QTest::newRow("no help file") << false << QString() << plain;
        QTest::newRow("missing help file") << false << "/nonexistent/help.html" << plain;
        QTest::newRow("an item in every hook, help file")
            << true << "help.html"
            << "&Open File-,&Save as file...,insertMainToolBarItems,|,insertMainBar,"
               "insertMainBarHelpText / &Open File-,&Save as file...,insertFileMenuItems,|,Exit-,"
               "&1 /a-,no data,same id / Help Contents / File,insertMenus,|,&Help";
    }
    void barsAndMenus()
    {
        QFETCH(bool, hooks);
        QFETCH(QString, helpFile);
        QFETCH(QString, bars);
        if (helpFile == "help.html")
            writeFile(helpFile = m_config->path() + "/help.html");
        m_config->writeIni(QStringLiteral("frontend"), "HelpFile=" + helpFile.toUtf8() + "\n");
        TestFrame frame;
        frame.addHookItems = hooks;
        frame.initialize(false);
        frame.updateRecentFiles(QStringLiteral("/a"));
        frame.m_fileMenu->addAction(QStringLiteral("no data"));
        frame.m_fileMenu->addAction(QStringLiteral("same id"))->setData(frame.m_firstRecentId);
        frame.m_saveAsAction->setEnabled(true);
        frame.enableFileMenu(false);
        QCOMPARE(texts(frame.m_mainToolBar->actions()) + " / " + texts(frame.m_fileMenu->actions())
                + " / " + texts(frame.menuBar()->actions().last()->menu()->actions().mid(0, 1))
                + " / " + texts(frame.menuBar()->actions()),
            bars);
        // A stored window state finds the bar by this name.
        QCOMPARE(frame.m_mainToolBar->objectName(), QStringLiteral("File Operations"));
        // The two appended actions take places of the nine entries.
        frame.m_settings->recentFiles() += QStringLiteral("/b /c /d /e /f /g /h").split(' ');
        frame.updateRecentFilesMenu();
        QCOMPARE(frame.m_fileMenu->actions().size(), frame.m_firstRecentId + 9);
    }
    // Hot keys pressed on a shown window: F1 shows the list; the others go on to Qt.
    void hotKeys()
    {
        Frame* frame = makeFrame().release(); // Exit deletes it
        auto* edit = new QLineEdit;
        frame->m_splitter->addWidget(edit);
        // Menu shortcuts such as Exit's Alt+F4 work only in the active window.
        QApplication::setActiveWindow(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame));
        edit->setFocus();
        QPointer<Frame> guard(frame);
        QSignalSpy exits(frame->m_exitAction, &QAction::triggered);
        // F1 as a keyboard sends it: released while the list is open, which Escape closes.
        int listed = 0;
        KeyScript f1(frame, { "+F1", "-F1", "look", "+Esc", "-Esc" }, [&](const QString&) {
            listed = QApplication::activeModalWidget()->findChild<QTableWidget*>()->rowCount();
        });
        QTRY_VERIFY(f1.finished());
        QCOMPARE(f1.dialogTitles(), QStringList { "Hotkeys" });
        QVERIFY(listed >= 4);
        QCOMPARE(frame->hotKeys, (QList<QPair<int, bool>> { { frame->m_helpHotKeyId, true } }));
        QTest::keyClick(edit, Qt::Key_F1, Qt::ShiftModifier);
        QTest::keyClick(edit, Qt::Key_Space);
        QCOMPARE(edit->text() + QString::number(exits.count()), QStringLiteral(" 0"));
        // The closed dialog handed the activation back; on the offscreen platform by hand.
        QApplication::setActiveWindow(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(edit, Qt::Key_F4, Qt::AltModifier);
        QCOMPARE(exits.count(), 1);
        QTRY_VERIFY(guard.isNull());
    }

    // What the frame stores comes back through a real file, written as the quit ends the event
    // loop: size, place, maximized state, bar places, the open folder and the recent names (kept
    // absolute, distinct, the last nine, no stale key left). Without a usable stored layout the
    // window gets two thirds of its screen, centred, and its bars their places of the code.
    void storedThroughAFile_data()
    {
        QTest::addColumn<QByteArray>("layout"); // stored before the first start
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("window"); // "maximized"; "forgetful": layout memory off
        QTest::addColumn<int>("barArea");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("kept");
        QMainWindow other;
        other.addToolBar(QStringLiteral("Other Bar"))->setObjectName(QStringLiteral("Other Bar"));
        const QByteArray foreign = "WindowState=" + other.saveState(1).toBase64();
        const QByteArray random = "Geometry=3q2+7wABAgMEBQYHCAkKCwwNDg8=\nWindowState=%%%";
        const QRect moved(40, 50, 500, 300);
        const int top = Qt::TopToolBarArea, left = Qt::LeftToolBarArea;
        const int bottom = Qt::BottomToolBarArea;
        const QString abs = path("rel.rec");
        QStringList ten;
        for (int i = 0; i < 10; ++i)
            ten << path(QStringLiteral("%1.rec").arg(i));
        const QStringList archive { "mirel:/a/b.rec", "MIREL:c.rec" };
        const QStringList odd { "two\nlines.rec", QString::fromUtf8("bad\xff.rec") };
        QTest::newRow("relative name") << QByteArray() << moved << "" << top
                                       << QStringList { "rel.rec" } << QStringList { abs };
        QTest::newRow("relative and absolute name, bar left, over random bytes")
            << random << QRect(10, 20, 600, 400) << "" << left
            << QStringList { "rel.rec", abs, "./rel.rec" } << QStringList { abs };
        QTest::newRow("listed name, maximized, over the state of another front end")
            << foreign << QRect(30, 30, 400, 300) << "maximized" << bottom
            << QStringList { ten[0], ten[1], ten[0] } << QStringList(ten.mid(0, 2));
        // A monitor that was unplugged: the window comes back onto the primary screen.
        QTest::newRow("tenth name, on no screen any more, over a geometry not in base64")
            << QByteArray("Geometry=not base64!") << QRect(9000, 7000, 400, 300) << "" << bottom
            << ten << QStringList(ten.mid(1));
        QTest::newRow("archive names, layout memory off")
            << QByteArray() << moved << "forgetful" << left << archive << archive;
        QTest::newRow("newline and invalid UTF-8 in names")
            << QByteArray() << moved << "" << top << odd
            << QStringList { path(odd[0]), path(odd[1]) };
        QTest::newRow("no names left")
            << QByteArray() << moved << "" << top << QStringList() << QStringList();
    }
    void storedThroughAFile()
    {
        QFETCH(QByteArray, layout);
        QFETCH(QRect, geometry);
        QFETCH(QString, window);
        QFETCH(int, barArea);
        QFETCH(QStringList, added);
        QFETCH(QStringList, kept);
        m_config->writeIni(QStringLiteral("tst_frame"),
            "[Settings]\nFiles1=1\nFiles2=\nFiles3=3\nFiles10=10\n" + layout + "\n");
        m_config->writeIni(QStringLiteral("frontend"), "RecordingPath=D:\\Rec\nReportPath=/rep\n");
        QPointer<Frame> frame = new Frame(QStringLiteral("App"));
        frame->withReplayBar = true;
        frame->initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        QVERIFY(hasDefaultLayout(*frame));
        // Folders typed by a person read as they are; a gap leaves no hole; Files10 is not read.
        QCOMPARE(frame->m_recordingPath + '|' + frame->m_reportPath + '|' + frame->m_fileOpenPath
                + '|' + frame->m_settings->recentFiles().join(','),
            "D:\\Rec|/rep|file:D:/Rec|1,3");
        frame->setGeometry(geometry);
        frame->addToolBar(Qt::ToolBarArea(barArea), frame->replayBar);
        if (window == "maximized")
            frame->showMaximized();
        frame->m_fileOpenPath = QStringLiteral("/chosen/folder");
        frame->m_settings->recentFiles().clear();
        for (const QString& name : added)
            frame->updateRecentFiles(name);
        // Slot 3 is slotQuit. Another window stays open: the quit itself must end the loop.
        const QMetaMethod quit = CFrameMainWnd::staticMetaObject.method(
            CFrameMainWnd::staticMetaObject.methodOffset() + 3);
        QTimer::singleShot(0, frame, [&] { quit.invoke(frame, Qt::DirectConnection); });
        QWidget other;
        other.show();
        QTimer::singleShot(5000, &other, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frame.isNull());
        const QString file = fileBytes(m_config->iniPath(QStringLiteral("tst_frame")));
        const QRegularExpression keys(
            "^(FileOpenPath=/chosen/folder|Geometry=.{8,}|WindowState=.{8,})$");
        QCOMPARE(file.split('\n').filter(keys).size(), 3);

        Frame again(QStringLiteral("App"));
        again.withReplayBar = true;
        again.setRememberLayout(window != "forgetful");
        again.initialize(true);
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QStringList entries;
        for (int i = 0; i < kept.size(); ++i)
            entries << QStringLiteral("&%1 %2").arg(i + 1).arg(kept[i]);
        QCOMPARE(again.m_fileOpenPath + ','
                + texts(again.m_fileMenu->actions().mid(again.m_firstRecentId)),
            "/chosen/folder," + entries.join(','));
        // An entry whose place left the list without a rebuild opens nothing.
        again.m_settings->recentFiles().clear();
        if (!kept.isEmpty())
            again.m_fileMenu->actions().last()->trigger();
        QVERIFY(again.loads.isEmpty());
        QCOMPARE(hasDefaultLayout(again), window == "forgetful");
        if (window == "forgetful")
            return;
        QCOMPARE(again.isMaximized(), window == "maximized");
        QCOMPARE(int(again.toolBarArea(again.replayBar)), barArea);
        if (!available().intersects(geometry))
            QVERIFY(available().intersects(again.frameGeometry()));
        else if (window.isEmpty())
            QCOMPARE(again.geometry(), geometry);
    }

    // A second frame of the root shares "FileLoaded" and "FileName", the set "On" stays and the
    // name is reset; a frame lets go of a value taken from the tree; the other outlives both.
    void frameValues()
    {
        // The slash between root and name is neither doubled nor missing.
        for (const QString removed : { "FileName", "FileLoaded" }) {
            const QString root = removed == "FileName" ? "/Recorder/" : "";
            const QString prefix = root.isEmpty() ? "/" : root;
            const QString kept = removed == "FileName" ? "FileLoaded" : "FileName";
            {
                TestFrame frame(QStringLiteral("App"), QString(), root);
                frame.m_fileLoaded->Select(QStringLiteral("On"));
                frame.m_fileName->SetValue(QStringLiteral("/rec/a.rec"));
                TestFrame second(QStringLiteral("App"), QString(), root);
                // An end notice of a value still in the tree changes nothing.
                tree().Find<values::ValueBase>(prefix + removed)->NotifyObservers(CC_Ending);
                QVERIFY(second.m_fileLoaded == frame.m_fileLoaded
                    && second.m_fileName == frame.m_fileName);
                QVERIFY(second.m_fileLoaded
                    == tree().Find<values::ValueSelection>(prefix + "FileLoaded"));
                QVERIFY(second.m_fileName == tree().Find<values::StringValue>(prefix + "FileName"));
                QStringList seen { frame.m_fileLoaded->GetStringValue(),
                    frame.m_fileName->GetValue() };
                for (int i = 0; i < frame.m_fileLoaded->GetItemCount(); ++i)
                    seen << frame.m_fileLoaded->GetItem(i)->GetName() + '='
                            + QString::number(frame.m_fileLoaded->GetItem(i)->GetKey());
                QCOMPARE(seen.join(','), "On,No File Loaded,On=1,Off=0");
                QVERIFY(tree().RemoveValue(prefix + removed));
                QCOMPARE(QString(second.m_fileName ? "FileName" : "")
                        + (second.m_fileLoaded ? "FileLoaded" : ""),
                    kept);
            }
            QCOMPARE(tree().Find<values::ValueBase>(prefix + kept)->ObserverCount(), 0);
            QVERIFY(tree().RemoveValue(prefix + kept));
        }
    }

    void valuesOfAnotherTypeAreNotUsed()
    {
        QVERIFY(
            tree().AddValue("/OtherTypes", new values::StringValue(QStringLiteral("FileLoaded"))));
        QVERIFY(
            tree().AddValue("/OtherTypes", new values::ValueSelection(QStringLiteral("FileName"))));
        ErrorHandler::Instance().SetFlags(ErrorHandler::Traces);
        QTest::ignoreMessage(QtInfoMsg,
            QRegularExpression(
                "MEMORY LEAK! The value with the path '/OtherTypes/FileName' could not"));
        TestFrame frame(QStringLiteral("App"), QString(), QStringLiteral("/OtherTypes"));
        ErrorHandler::Instance().SetFlags(ErrorHandler::Assertions);
        // The frame works on a "FileName" of its own that nobody else sees.
        QVERIFY(!frame.m_fileLoaded && frame.m_fileName && frame.m_fileName->GetPath().isEmpty());
        frame.initialize(false);
    }

    // A copied or assigned record stores its own members through a group of its own; destroying
    // both must not free one group twice (the sanitizer build catches that). A list writes nine
    // entries at most and reads by appending to what it holds.
    void records()
    {
        auto original = std::make_unique<CSettings>(QStringLiteral("Original"), nullptr);
        original->recentFiles() << QStringLiteral("shared");
        CSettings copy(*original);
        CSettings assigned(QStringLiteral("Other"), nullptr);
        assigned = *original;
        assigned = assigned;
        copy.recentFiles() << QStringLiteral("copy only");
        original.reset();
        copy.write(QString());
        assigned.persistant()->RestoreDefaults();
        CSettings reread(QStringLiteral("Original"), nullptr);
        reread.read(QString());
        QCOMPARE(reread.recentFiles() + assigned.recentFiles() + copy.recentFiles(),
            QStringLiteral("shared,copy only,shared,copy only").split(','));
        QStringList list = QStringLiteral("1 2 3 4 5 6 7 8 9 10 11").split(' ');
        std::unique_ptr<ICfg> cfg(
            CfgCenter::CreateCfg(QStringLiteral("store"), ICfg::DefaultView, {}));
        CPersistantStringList entry(&list, QStringLiteral("Files"), {});
        entry.Write(cfg.get());
        list = QStringList { "x" };
        entry.Read(cfg.get());
        QCOMPARE(list.join(' '), QStringLiteral("x 1 2 3 4 5 6 7 8 9"));
    }

    void metaObject()
    {
        const QMetaObject& meta = CFrameMainWnd::staticMetaObject;
        QStringList methods { meta.className(),
            QString::number(meta.propertyCount() - meta.propertyOffset()) };
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod method = meta.method(i);
            const bool slot = method.methodType() == QMetaMethod::Slot
                && method.access() == QMetaMethod::Protected;
            methods << method.methodSignature() + (slot ? "" : " not a protected slot");
        }
        QCOMPARE(methods.join(' '),
            "CFrameMainWnd 0 fileOpenRecent() slotLoad() slotSaveAs() slotQuit()");
        TestFrame frame;
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
            slot(&Frame::load), slot(&Frame::save),
            slot(&CFrameMainWnd::ApplyPersistantBeforeWrite),
            slot(&CFrameMainWnd::ApplyPersistantAfterRead), slot(&CFrameMainWnd::Update) };
        for (int i = 1; i < order.size(); ++i)
            QCOMPARE(order.at(i), order.at(0) + i);
#else
        QSKIP("the slot of a virtual member is read the Itanium C++ ABI's way");
#endif
    }
    // An open through the dialog, a drop of `count` URLs or a recent entry: the same steps. A
    // file another process holds (a real one) is opened only when the user says so.
    void open_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("name"); // in the files folder, or a URL
        QTest::addColumn<QString>("situation"); // free, cancel, vanishes, held, read-only, refused
        QTest::addColumn<QString>("answer"); // the button pressed in the box that follows
        QTest::addColumn<int>("count");
        const auto row = [](const char* how, const char* name, const char* situation,
                             const char* answer = "", int count = 1) {
            QTest::addRow("%s %s, %s %s (%d)", how, name, situation, answer, count)
                << QString(how) << QString::fromUtf8(name) << QString(situation) << QString(answer)
                << count;
        };
        row("dialog", "a.rec", "free");
        row("dialog", "50 % für %1.rec", "free");
        row("dialog", "a.rec", "cancel");
        row("dialog", "gone.rec", "vanishes", "OK");
        row("dialog", "held.rec", "held", "No");
        row("dialog", "held.rec", "held", "Escape");
        row("dialog", "held.rec", "held", "Yes");
        row("dialog", "ro.rec", "read-only", "Yes");
        row("drop", "a.rec", "free");
        row("drop", "a.rec", "free", "", 3);
        row("drop", "gone.rec", "vanishes", "OK");
        row("drop", "held.rec", "held", "Yes");
        row("drop", ".", "refused"); // the folder
        row("drop", "none.rec", "refused");
        row("drop", "http://example.org/a.rec", "refused");
        row("recent", "a.rec", "free");
        row("recent", "gone.rec", "vanishes", "OK");
        row("recent", "held.rec", "held", "No");
    }
    void open()
    {
        QFETCH(QString, how);
        QFETCH(QString, name);
        QFETCH(QString, situation);
        QFETCH(QString, answer);
        QFETCH(int, count);
        const QString file = name.contains(':') ? name : path(name);
        const bool loaded = situation == "free" || answer == "Yes";
        if (situation != "refused")
            writeFile(file);
        std::unique_ptr<HoldFile> holder;
        if (situation == "held")
            QVERIFY((holder = std::make_unique<HoldFile>(file, HoldFile::Read))->isHolding());
        if (situation == "read-only")
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadOther);
        auto frame = makeFrame();
        QVERIFY(!QFile::exists(m_config->iniPath(QStringLiteral("frontend")))); // read, not made
        const QString startPath = frame->m_fileOpenPath;
        // "ExtFileName" follows the opened file; one of another type is left alone.
        auto* ext = new values::StringValue(QStringLiteral("ExtFileName"));
        values::ValueBase* added = situation == "read-only" ? static_cast<values::ValueBase*>(
                                       new values::ValueSelection(QStringLiteral("ExtFileName")))
                                                            : ext;
        QVERIFY(tree().AddValue(frame->m_valueRoot, added));
        // "FileLoaded" follows every open, also a cancelled one.
        frame->m_fileLoaded->Select(QLatin1String(situation == "cancel" ? "On" : "Off"));
        QList<ModalAnswer::Answer> answers;
        if (how == "dialog" && situation == "cancel")
            answers << &ModalAnswer::rejectDialog;
        else if (how == "dialog")
            answers << [=](QWidget* dialog) {
                if (situation == "vanishes")
                    QObject::connect(qobject_cast<QFileDialog*>(dialog), &QFileDialog::fileSelected,
                        [=] { QFile::remove(file); });
                ModalAnswer::chooseFile(file)(dialog);
            };
        if (!answer.isEmpty())
            answers << (answer == "Escape" ? ModalAnswer::pressEscape()
                                           : ModalAnswer::pressButton(answer));
        if (how == "dialog" && situation == "free")
            answers << ModalAnswer::chooseFile(file); // for a second open, below
        ModalAnswer modal(answers);
        if (how == "dialog") {
            frame->m_openAction->trigger();
        } else if (how == "recent") {
            frame->updateRecentFiles(file);
            if (situation == "vanishes")
                QFile::remove(file);
            frame->m_fileMenu->actions().at(frame->m_firstRecentId)->trigger();
            // A vanished file leaves the list, one in use stays.
            QCOMPARE(texts(frame->m_fileMenu->actions().mid(frame->m_firstRecentId)),
                situation == "vanishes" ? "" : "&1 " + file);
        } else {
            QList<QUrl> urls { name.contains(':') ? QUrl(name) : QUrl::fromLocalFile(file) };
            for (int i = 1; i < count; ++i)
                urls << QUrl::fromLocalFile(path(QStringLiteral("other%1.rec").arg(i)));
            QMimeData mime;
            mime.setUrls(urls);
            QDragEnterEvent enter(
                frame->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QDropEvent drop(
                frame->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(frame.get(), &enter);
            QApplication::sendEvent(frame.get(), &drop);
            QCOMPARE(QString::number(enter.isAccepted()) + QString::number(drop.isAccepted()),
                situation == "refused" ? "00" : "11");
            if (situation == "vanishes")
                QFile::remove(file);
            // The open runs from the event loop, after the drop has ended.
            QCoreApplication::processEvents();
            QCOMPARE(frame->statusBar()->currentMessage().contains(
                         QStringLiteral("%1 files dropped").arg(count)),
                count > 1);
        }
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        const QString box = situation == "vanishes" ? "File Error"
            : answer.isEmpty()                      ? ""
                                                    : "Warning";
        const SeenDialog seen = modal.dialogs().value(how == "dialog" ? 1 : 0);
        const QStringList observed { seen.title, QString::number(seen.text.contains(file)),
            frame->loads.join(','), frame->m_fileLoaded->GetStringValue(),
            frame->m_fileName->GetValue(), added == ext ? ext->GetValue() : "",
            frame->windowTitle(), frame->m_fileOpenPath };
        QCOMPARE(observed,
            (QStringList { box, QString::number(!box.isEmpty()), loaded ? file + "||1" : "",
                loaded ? "On" : "Off", loaded ? file : "No File Loaded",
                loaded && added == ext ? file : "", loaded ? "App - [" + file + "]" : "App",
                startPath }));
        if (how != "dialog")
            return;
        // The next open starts where this one chose its file.
        QCOMPARE(frame->m_lastOpenFolder, situation == "cancel" ? QString() : m_files.path());
        if (situation != "free")
            return;
        // Opening the same file again is told as well: its content may have changed. An open
        // after an open leaves the open path empty, so the first one's stays stored.
        frame->m_openAction->trigger();
        QCOMPARE(frame->announced, QStringList({ file, file }));
        QVERIFY(frame->m_fileOpenPath.isEmpty());
    }

    // The folders the open and save dialogs start in; the stored open path never changes.
    void dialogsStartInAFolderThatExists_data()
    {
        QTest::addColumn<QString>("openPath");
        QTest::addColumn<QString>("lastOpen");
        QTest::addColumn<QString>("folders"); // open dialog | save dialog
        const QString home = QDir::homePath(), files = m_files.path();
        QTest::newRow("default of another system")
            << "file:c:/temp" << QString() << home + '|' + home;
        QTest::newRow("backslash default") << "c:\\temp" << QString() << home + '|' + home;
        QTest::newRow("removed folder") << "file:" + path("gone") << QString() << home + '|' + home;
        QTest::newRow("existing, file: form")
            << "file:" + files << QString() << files + '|' + files;
        QTest::newRow("existing, plain") << files << QString() << files + '|' + files;
        QTest::newRow("after an open") << "file:c:/temp" << files << files + '|' + home;
    }
    void dialogsStartInAFolderThatExists()
    {
        QFETCH(QString, openPath);
        QFETCH(QString, lastOpen);
        QFETCH(QString, folders);
        auto frame = makeFrame();
        frame->m_fileOpenPath = openPath;
        frame->m_lastOpenFolder = lastOpen;
        frame->m_saveAsAction->setEnabled(true);
        QStringList seen;
        const ModalAnswer::Answer look = [&](QWidget* dialog) {
            // Nothing typed into the name box, where a stray Enter would save.
            seen << qobject_cast<QFileDialog*>(dialog)->directory().absolutePath()
                    + dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            ModalAnswer::rejectDialog(dialog);
        };
        ModalAnswer answers({ look, look });
        frame->m_openAction->trigger();
        frame->m_saveAsAction->trigger();
        QCOMPARE(seen.join('|') + '|' + frame->m_fileOpenPath, folders + '|' + openPath);
    }

    // A close request while an open waits for a stalled archive: the frame must outlive the
    // operation (its boxes are parented to it), then close and write its options once.
    void closeDuringAnArchiveWait()
    {
        HttpServer server;
        QVERIFY(server.start(m_files.path(), QFINDTESTDATA("support/faultyhttp.py")));
        qputenv("TEV_MIREL_SERVER", server.baseUrl().toUtf8());
        qputenv("TEV_MIREL_STALL_TIMEOUT_MS", "1000");
        QPointer<Frame> frame = makeFrame().release();
        frame->updateRecentFiles(QStringLiteral("mirel:/stall-before-headers/run1.rec"));
        frame->m_fileOpenPath = QStringLiteral("file:/closed/during/wait");
        QTimer::singleShot(300, frame, [&] { QVERIFY(!frame->close()); });
        ModalAnswer box(ModalAnswer::pressButton("OK"), 15000);
        frame->m_fileMenu->actions().at(frame->m_firstRecentId)->trigger();
        qunsetenv("TEV_MIREL_SERVER");
        qunsetenv("TEV_MIREL_STALL_TIMEOUT_MS");
        QVERIFY(frame && box.seen()); // still here after the operation returned
        QTRY_VERIFY(!frame); // the close was repeated once the operation had ended
        CSettings settings(QStringLiteral("Settings"), nullptr);
        settings.read(QString());
        QCOMPARE(settings.fileOpenPath(), QStringLiteral("file:/closed/during/wait"));
    }
};

QTEST_MAIN(TestFrameMainWnd)
#include "tst_frame.moc"
