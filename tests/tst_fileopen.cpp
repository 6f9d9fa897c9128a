#include "holdfile.h"
#include "httpserver.h"
#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <values/tree.h>
#include <values/valueselection.h>

#include <QFileDialog>
#include <QtTest>

#include <csettings.h>

namespace {

struct LoadCall
{
    QString fileName;
    QString displayName;
    bool isLocal;
};

// Records every load; `result` is what it answers, `callFrame` runs the frame's own version.
class LoadFrame : public TestFrame
{
public:
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::m_lastOpenFolder;
    using TestFrame::TestFrame;
    QList<LoadCall> loads;
    bool result = true;
    bool callFrame = false;

protected:
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override
    {
        loads << LoadCall { fileName, displayName, isLocal };
        return callFrame ? CFrameMainWnd::load(fileName, displayName, isLocal) : result;
    }
};

void writeFile(const QString& path, const QByteArray& data = "recording")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Answers the next file dialog; with `vanish`, the chosen file disappears as it is chosen.
ModalAnswer::Answer chooseFile(const QString& fileName, bool vanish = false)
{
    return [=](QWidget* dialog) {
        if (vanish) {
            QObject::connect(qobject_cast<QFileDialog*>(dialog), &QFileDialog::fileSelected,
                [fileName] { QFile::remove(fileName); });
        }
        ModalAnswer::chooseFile(fileName)(dialog);
    };
}

// The names "FileName" announced, one per change notification.
struct NameWatcher : IObserver
{
    QStringList names;
    void Update(Observable* observable, TChangeCode code) override
    {
        if (code == CC_Changed)
            names << static_cast<values::StringValue*>(observable)->GetValue();
    }
};

} // namespace

class TestFileOpen : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    QTemporaryDir m_files;
    int m_roots = 0;

    QString path(const QString& name) const { return m_files.path() + QLatin1Char('/') + name; }

    std::unique_ptr<LoadFrame> makeFrame()
    {
        auto frame = std::make_unique<LoadFrame>(QStringLiteral("App"), QStringLiteral("frontend"),
            QStringLiteral("/FileOpen%1").arg(++m_roots));
        frame->initialize(true);
        return frame;
    }

    // Opens `file` through File → Open; `answer` handles the box that may follow.
    void openThroughDialog(LoadFrame& frame, const QString& file, bool vanish,
        ModalAnswer::Answer answer, SeenDialog* box)
    {
        ModalAnswer answers({ chooseFile(file, vanish), std::move(answer) });
        frame.m_openAction->trigger();
        if (box)
            *box = answers.dialogs().value(1);
    }

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_fileopen")); }
    void init() { m_config = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void openThroughTheDialog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>(
            "situation"); // 0 free, 1 vanishes, 2 held by another process, 3 read-only
        QTest::addColumn<QString>("answer"); // button pressed in the box, "Escape", or ""
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("free file") << "a.rec" << 0 << ""
                                   << "" << true;
        QTest::newRow("name with % signs, blanks, umlauts") << "50 % für %1.rec" << 0 << ""
                                                            << "" << true;
        QTest::newRow("vanished") << "gone.rec" << 1 << "OK"
                                  << "File Error" << false;
        QTest::newRow("in use, No") << "held.rec" << 2 << "No"
                                    << "Warning" << false;
        QTest::newRow("in use, Escape") << "held.rec" << 2 << "Escape"
                                        << "Warning" << false;
        QTest::newRow("in use, Yes") << "held.rec" << 2 << "Yes"
                                     << "Warning" << true;
        QTest::newRow("read-only, Yes") << "ro.rec" << 3 << "Yes"
                                        << "Warning" << true;
    }
    void openThroughTheDialog()
    {
        QFETCH(QString, name);
        QFETCH(int, situation);
        QFETCH(QString, answer);
        QFETCH(QString, boxTitle);
        QFETCH(bool, loaded);
        const QString file = path(name);
        writeFile(file);
        std::unique_ptr<HoldFile> holder;
        if (situation == 2) {
            holder = std::make_unique<HoldFile>(file, HoldFile::Read);
            QVERIFY(holder->isHolding());
        }
        if (situation == 3)
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadOther);

        auto frame = makeFrame();
        const QString startPath = frame->m_fileOpenPath;
        auto* ext = new values::StringValue(QStringLiteral("ExtFileName"));
        QVERIFY(values::Tree::Instance()->AddValue(frame->m_valueRoot, ext));
        SeenDialog box;
        openThroughDialog(*frame, file, situation == 1,
            answer == QLatin1String("Escape") ? ModalAnswer::pressEscape()
                                              : ModalAnswer::pressButton(answer),
            &box);

        QCOMPARE(box.title, boxTitle);
        if (situation == 1) {
            QCOMPARE(box.text, QStringLiteral("File: %1 not found").arg(file));
            QCOMPARE(box.buttons, QStringList { "OK" });
        } else if (situation >= 2) {
            QCOMPARE(box.text,
                QStringLiteral("File: %1 is opened by another application!\nDo you want to open "
                               "the file anyway?\n\n")
                    .arg(file));
            QCOMPARE(box.buttons, (QStringList { "Yes", "No" }));
        }
        QCOMPARE(frame->loads.size(), loaded ? 1 : 0);
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QString(loaded ? "On" : "Off"));
        QCOMPARE(frame->m_lastOpenFolder, m_files.path());
        if (loaded) {
            QCOMPARE(frame->loads.first().fileName, file);
            QVERIFY(frame->loads.first().displayName.isEmpty() && frame->loads.first().isLocal);
            QCOMPARE(frame->m_fileName->GetValue(), file);
            QCOMPARE(ext->GetValue(), file);
            QCOMPARE(frame->m_fileOpenPath, startPath);
        } else {
            QCOMPARE(frame->m_fileName->GetValue(), QStringLiteral("No File Loaded"));
        }
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void cancelledDialogAndTheFramesOwnLoad()
    {
        auto frame = makeFrame();
        frame->callFrame = true;
        {
            ModalAnswer cancel([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
            frame->m_fileLoaded->Select(QStringLiteral("On"));
            frame->m_openAction->trigger();
            QVERIFY(cancel.seen());
        }
        QVERIFY(frame->loads.isEmpty());
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("Off"));
        QVERIFY(frame->m_lastOpenFolder.isEmpty());

        // ExtFileName of another type is left alone.
        QVERIFY(values::Tree::Instance()->AddValue(
            frame->m_valueRoot, new values::ValueSelection(QStringLiteral("ExtFileName"))));
        const QString file = path("own.rec");
        writeFile(file);
        NameWatcher watcher;
        frame->m_fileName->AddObserver(&watcher);
        openThroughDialog(*frame, file, false, ModalAnswer::pressButton("OK"), nullptr);
        QCOMPARE(frame->windowTitle(), QStringLiteral("App - [%1]").arg(file));
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("Off"));
        QCOMPARE(frame->m_fileName->GetValue(), file);
        // The second open starts in the folder of the first and leaves the open path empty.
        openThroughDialog(*frame, file, false, ModalAnswer::pressButton("OK"), nullptr);
        QVERIFY(frame->m_fileOpenPath.isEmpty());
        // Opening the same file again is told as well: its content may have changed.
        QCOMPARE(watcher.names, QStringList({ file, file }));
        frame->m_fileName->DeleteObserver(&watcher);
    }

    void recentEntries()
    {
        const QString kept = path("kept.rec");
        writeFile(kept);
        auto frame = makeFrame();
        frame->updateRecentFiles(kept);
        frame->updateRecentFiles(path("vanished.rec"));
        QList<QAction*> entries = frame->m_fileMenu->actions().mid(frame->m_firstRecentId);
        QCOMPARE(entries.size(), 2);

        entries.at(0)->trigger();
        QCOMPARE(frame->loads.size(), 1);
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("On"));

        ModalAnswer notFound(ModalAnswer::pressButton("OK"));
        entries.at(1)->trigger();
        QCOMPARE(
            notFound.dialog().text, QStringLiteral("File: %1 not found").arg(path("vanished.rec")));
        QCOMPARE(frame->m_settings->recentFiles(), QStringList { kept });
        QCOMPARE(frame->m_fileMenu->actions().size(), frame->m_firstRecentId + 1);
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("Off"));

        // An entry whose place left the list without a rebuild opens nothing.
        QAction* stale = frame->m_fileMenu->actions().last();
        frame->m_settings->recentFiles().clear();
        stale->trigger();
        QCOMPARE(frame->loads.size(), 1);
    }

    void archiveEntries_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<bool>("keepsEntry");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("fetched") << "fetched"
                                 << "" << true << true;
        QTest::newRow("unknown to the archive") << "unknown"
                                                << "File Error" << false << false;
        QTest::newRow("transfer failed") << "cache unwritable"
                                         << "Mirel Error" << true << false;
        QTest::newRow("no archive configured") << "unconfigured"
                                               << "File Error" << false << false;
        QTest::newRow("archive down") << "down"
                                      << "Connection Error" << true << false;
    }
    void archiveEntries()
    {
        QFETCH(QString, situation);
        QFETCH(QString, boxTitle);
        QFETCH(bool, keepsEntry);
        QFETCH(bool, loaded);
        QTemporaryDir served;
        QTemporaryDir cache;
        writeFile(served.path() + QStringLiteral("/run1.rec"), "from the archive");
        HttpServer server;
        QVERIFY(server.start(served.path()));
        qputenv("TEV_MIREL_SERVER", server.baseUrl().toUtf8());
        qputenv("TEV_MIREL_CACHE", cache.path().toUtf8());
        if (situation == QLatin1String("cache unwritable"))
            qputenv("TEV_MIREL_CACHE", QFile::encodeName(path("not-a-folder")));
        writeFile(path("not-a-folder"));
        if (situation == QLatin1String("unconfigured"))
            qunsetenv("TEV_MIREL_SERVER");
        if (situation == QLatin1String("down")) {
            qputenv("TEV_MIREL_SERVER",
                QStringLiteral("http://127.0.0.1:%1").arg(HttpServer::freePort()).toUtf8());
        }
        const QString url = situation == QLatin1String("unknown")
            ? QStringLiteral("mirel:/missing.rec")
            : QStringLiteral("mirel:/run1.rec");

        auto frame = makeFrame();
        frame->callFrame = true;
        frame->updateRecentFiles(url);
        // The connection box comes only after the frame's 10 s wait for the archive.
        ModalAnswer box(ModalAnswer::pressButton("OK"), 15000);
        frame->m_fileMenu->actions().at(frame->m_firstRecentId)->trigger();
        qunsetenv("TEV_MIREL_SERVER");
        qunsetenv("TEV_MIREL_CACHE");

        QCOMPARE(box.dialog().title, boxTitle);
        QCOMPARE(frame->m_settings->recentFiles().contains(url), keepsEntry);
        QCOMPARE(frame->loads.size(), loaded ? 1 : 0);
        if (loaded) {
            const LoadCall call = frame->loads.first();
            QCOMPARE(fileBytes(call.fileName), QByteArray("from the archive"));
            QCOMPARE(call.displayName, url);
            QVERIFY(!call.isLocal);
            QCOMPARE(frame->windowTitle(), QStringLiteral("App - [%1]").arg(url));
            QCOMPARE(frame->m_fileName->GetValue(), call.fileName);
        }
        QCOMPARE(frame->m_fileLoaded->GetStringValue(), QStringLiteral("Off"));
    }

    void saveAs_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QStringList>("existing"); // destination files that exist before
        QTest::addColumn<QStringList>("copied");
        QTest::addColumn<bool>("titleChanges");
        QTest::newRow("all three, typed extension dropped")
            << "copy.dat" << QStringList() << QStringList { "copy.rec", "copy.avl" } << true;
        QTest::newRow("existing recording kept")
            << "taken.rec" << QStringList { "taken.rec" } << QStringList { "taken.avl" } << false;
        QTest::newRow("existing companion kept")
            << "half.rec" << QStringList { "half.avl" } << QStringList { "half.rec" } << true;
    }
    void saveAs()
    {
        QFETCH(QString, destination);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, copied);
        QFETCH(bool, titleChanges);
        QTemporaryDir target;
        // The source recording has no ".bt" companion, which is skipped without a word.
        writeFile(path("source.rec"), "rec");
        writeFile(path("source.avl"), "avl");
        for (const QString& name : existing)
            writeFile(target.path() + QLatin1Char('/') + name, "old");

        auto frame = makeFrame();
        frame->m_currentFile = path("source.rec");
        frame->m_fileOpenPath = target.path();
        frame->m_saveAsAction->setEnabled(true);
        const QString title = frame->windowTitle();
        // Qt's dialog asks before it names an existing file; even "Yes" there overwrites nothing.
        QList<ModalAnswer::Answer> steps { chooseFile(
            target.path() + QLatin1Char('/') + destination) };
        const bool asksToReplace = existing.contains(destination);
        if (asksToReplace)
            steps << ModalAnswer::pressButton("Yes");
        steps << ModalAnswer::pressButton("OK");
        ModalAnswer answers(steps);
        frame->m_saveAsAction->trigger();
        const SeenDialog report = answers.dialogs().value(asksToReplace ? 2 : 1);

        for (const QString& name : copied) {
            QCOMPARE(fileBytes(target.path() + QLatin1Char('/') + name),
                QByteArray(name.endsWith(QLatin1String(".rec")) ? "rec" : "avl"));
        }
        for (const QString& name : existing)
            QCOMPARE(fileBytes(target.path() + QLatin1Char('/') + name), QByteArray("old"));
        QCOMPARE(
            QDir(target.path()).entryList(QDir::Files).size(), existing.size() + copied.size());
        QCOMPARE(report.title, existing.isEmpty() ? QString() : "Copy File Information");
        for (const QString& name : existing)
            QVERIFY(report.text.contains(name));
        QCOMPARE(frame->windowTitle() != title, titleChanges);
    }

    void saveAsOntoTheCurrentFile()
    {
        auto frame = makeFrame();
        frame->m_currentFile = path("same.rec");
        writeFile(frame->m_currentFile, "rec");
        ModalAnswer answers({ chooseFile(frame->m_currentFile), ModalAnswer::pressButton("Yes"),
            ModalAnswer::pressButton("OK") });
        frame->m_saveAsAction->setEnabled(true);
        frame->m_saveAsAction->trigger();
        QCOMPARE(answers.dialogs().value(2).title, QStringLiteral("Copy File Information"));
        QCOMPARE(answers.dialogs().value(2).text,
            QStringLiteral("The destination filename: [%1] is equal to the current filename.\n"
                           "Please specify a unique destination filename!")
                .arg(frame->m_currentFile));
        QCOMPARE(fileBytes(frame->m_currentFile), QByteArray("rec"));
    }
};

QTEST_MAIN(TestFileOpen)
#include "tst_fileopen.moc"
