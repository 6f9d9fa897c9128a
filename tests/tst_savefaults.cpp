// Save as under faults that strike mid-copy, found by a fanotify permission event on the source.

#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <sys/fanotify.h>
#include <sys/resource.h>

#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <thread>

namespace {
enum Fault { None, DestinationFull, DestinationAppears, SourceTruncated };

// Runs `strike` while the first read of the file marked in fanotify group `group` is held, so
// that the fault comes between the start and the end of the copy without timing luck.
void strikeOnFirstRead(int group, const std::atomic<bool>& stop, std::atomic<bool>& fired,
    const std::function<void()>& strike)
{
    while (!stop) {
        pollfd fds = { group, POLLIN, 0 };
        alignas(fanotify_event_metadata) char buffer[4096];
        ssize_t left = ::poll(&fds, 1, 20) > 0 ? ::read(group, buffer, sizeof buffer) : 0;
        for (auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
             left > 0 && FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
            if (!fired.exchange(true))
                strike();
            const fanotify_response allow = { event->fd, FAN_ALLOW };
            while (::write(group, &allow, sizeof allow) < 0 && errno == EINTR) { }
            ::close(event->fd);
        }
    }
}
} // namespace

class TestSaveFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("tst_savefaults"));
        // Writes past a lowered file size limit then fail with EFBIG, as on a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
    }

    // Save as copies the recording and its companions under the name chosen in the dialog, also
    // when a fault strikes mid-copy: the destination runs out of room, another program takes its
    // name, or the source is cut short. No partial copy is left, nothing that existed
    // changes, and the "Copy File Information" box names exactly what was not copied.
    void saveAs_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("existing"); // in the destination folder before
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("struck"); // the extension of the file the fault strikes
        const auto row = [](const char* tag, const char* typed, Fault fault, const char* struck,
                             const char* existing = "") {
            QTest::newRow(tag) << QString(typed) << QString(existing) << int(fault)
                               << QString(struck);
        };
        row("existing companion kept", "half.rec", None, "", "half.avl");
        row("onto the current recording", "run.rec", None, "");
        row("companion larger than the room left, typed extension", "copy.txt", DestinationFull,
            ".avl");
        row("recording name taken meanwhile", "copy.rec", DestinationAppears, ".rec");
        row("recording cut short meanwhile", "copy.rec", SourceTruncated, ".rec");
    }
    void saveAs()
    {
        QFETCH(QString, typed);
        QFETCH(QString, existing);
        QFETCH(int, fault);
        QFETCH(QString, struck);
        // The sources are "run.*" in the destination folder. Without a fault there is no ".bt"
        // companion, which is skipped without a word. The struck file is larger than the size
        // limit; the others fit well below it.
        QTemporaryDir folder;
        const QString base = folder.filePath(QFileInfo(typed).completeBaseName());
        QMap<QString, QByteArray> before; // every file of the folder
        for (const QString extension : { ".rec", ".bt", ".avl" }) {
            QByteArray& bytes = before["run" + extension];
            for (int i = 0; i < (extension == struck ? 256 * 1024 : 4096); ++i)
                bytes += char(extension.at(1).toLatin1() + i * 31 + i / 509);
        }
        if (fault == None)
            before.remove("run.bt");
        if (!existing.isEmpty())
            before[existing] = "old";
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QFile file(folder.filePath(it.key()));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size());
        }
        TestConfigDir config;
        TestFrame frame(QStringLiteral("App"));
        frame.initialize(true);
        frame.m_currentFile = folder.filePath("run.rec");
        frame.m_saveAsAction->setEnabled(true);
        const QString struckSource = folder.filePath("run" + struck);
        rlimit unlimited {};
        ::getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit lowered = { 64 * 1024, unlimited.rlim_max };
        if (fault == DestinationFull)
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
        const int group = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
        if (fault > DestinationFull
            && (group < 0
                || ::fanotify_mark(group, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD,
                    QFile::encodeName(struckSource).constData()))) {
            ::close(group);
            QSKIP("fanotify permission events need CAP_SYS_ADMIN");
        }
        std::atomic<bool> stop { false }, fired { false };
        std::thread hook(strikeOnFirstRead, group, std::cref(stop), std::ref(fired), [&] {
            QFile intruder(base + struck);
            if (fault == DestinationAppears && intruder.open(QIODevice::NewOnly))
                intruder.write("intruder");
            if (fault == SourceTruncated)
                QFile(struckSource).resize(128 * 1024);
        });
        // The dialog must not ask "replace?": the frame never overwrites, and its box says so.
        ModalAnswer answers(
            { ModalAnswer::chooseFile(folder.filePath(typed)), ModalAnswer::pressButton("OK") });
        frame.m_saveAsAction->trigger();
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        stop = true;
        hook.join();
        ::close(group);
        QCOMPARE(fired.load(), fault > DestinationFull); // else the fault came too late

        // Each destination is the whole source, what was there before, or absent; the box names
        // exactly the files not copied.
        const SeenDialog box = answers.dialogs().value(1);
        QMap<QString, QByteArray> expected = before;
        QStringList notCopied, named;
        for (const QString extension : { ".rec", ".bt", ".avl" }) {
            const QString name = QFileInfo(base).fileName() + extension;
            const QByteArray source = before.value("run" + extension);
            const bool hit = extension == struck && name.startsWith("copy");
            const bool free = !before.contains(name);
            if (free && hit && fault == DestinationAppears)
                expected[name] = "intruder";
            else if (free && !source.isEmpty() && !hit)
                expected[name] = source;
            if (!source.isEmpty() && expected.value(name) != source)
                notCopied << base + extension;
            if (box.text.contains(base + extension + " ("))
                named << base + extension;
        }
        if (fault == SourceTruncated)
            expected["run" + struck].truncate(128 * 1024);
        QMap<QString, QByteArray> present;
        for (const QString& name : filesBelow(folder.path()))
            present[name] = fileBytes(folder.filePath(name));
        QCOMPARE(present, expected);
        // The title names the new recording only when it was copied.
        const bool onto = typed == "run.rec", recordingCopied = !notCopied.contains(base + ".rec");
        QCOMPARE(QStringList({ box.title, named.join(','), frame.windowTitle() }),
            QStringList(
                { notCopied.isEmpty() && !onto ? "" : "Copy File Information", notCopied.join(','),
                    recordingCopied && !onto ? "App - [" + base + ".rec]" : "App" }));
    }
};

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
