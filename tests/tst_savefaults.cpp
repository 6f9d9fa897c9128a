// Save as under faults that strike mid-copy, found by a fanotify permission event on the source.

#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <sys/fanotify.h>
#include <sys/resource.h>

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <thread>

enum Fault { DestinationFull, DestinationAppears, SourceTruncated, SourceDeleted };

class TestSaveFaults : public QObject
{
    Q_OBJECT

private slots:
    // Save as copies the recording and its companions under the chosen name, also when the disk
    // fills, another program takes the name or the source is cut short (or deleted: it is read to
    // its end) mid-copy: no partial copy, nothing that existed changes, the box names what was not.
    void saveAs_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("struck"); // the extension of the source the fault strikes
        // Each file of D not left as it was: "<name>:<the source it equals>", "cut" or its bytes
        // ("" when gone); the files the box names; the title. "half.avl" holds "old" before.
        QTest::addColumn<QString>("after");
        QTest::newRow("companion larger than the room left, existing companion kept")
            << "half.txt" << int(DestinationFull) << ".bt"
            << "half.rec:run.rec|D/half.bt,D/half.avl|App - [D/half.rec]";
        QTest::newRow("recording name taken meanwhile")
            << "copy.rec" << int(DestinationAppears) << ".rec"
            << "copy.avl:run.avl copy.bt:run.bt copy.rec:intruder|D/copy.rec|App";
        // Without a ".bt" source, that companion is skipped without a word.
        QTest::newRow("recording cut short meanwhile")
            << "copy.rec" << int(SourceTruncated) << ".rec"
            << "copy.avl:run.avl run.rec:cut|D/copy.rec|App";
        QTest::newRow("recording deleted meanwhile")
            << "half.rec" << int(SourceDeleted) << ".rec"
            << "half.bt:run.bt half.rec:run.rec run.rec:|D/half.avl|App - [D/half.rec]";
        QTest::newRow("onto itself") << "run.rec" << int(DestinationFull) << QString() << "||App";
    }
    void saveAs()
    {
        QFETCH(QString, typed);
        QFETCH(int, fault);
        QFETCH(QString, struck);
        QFETCH(QString, after);
        // Sources "run.*" beside the copies: the struck one over the size limit, the others below.
        QTemporaryDir folder;
        QMap<QString, QByteArray> sources { { "half.avl", "old" } };
        for (const QString extension : { ".rec", ".bt", ".avl" })
            for (int i = 0; i < (extension == struck ? 256 * 1024 : 4096); ++i)
                sources["run" + extension] += char(extension.at(1).toLatin1() + i * 31 + i / 509);
        if (fault == SourceTruncated)
            sources.remove("run.bt");
        for (auto it = sources.cbegin(); it != sources.cend(); ++it) {
            QFile file(folder.filePath(it.key()));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size());
        }
        TestConfigDir config;
        TestFrame frame(QStringLiteral("App"));
        frame.initialize(true);
        frame.m_currentFile = folder.filePath("run.rec");
        frame.m_saveAsAction->setEnabled(true);
        const QString struckSource = folder.filePath("run" + struck);
        // Writes past a lowered file size limit then fail with EFBIG, as on a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit unlimited {};
        ::getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit lowered = { 64 * 1024, unlimited.rlim_max };
        if (fault == DestinationFull)
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
        const int group = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
        if (fault != DestinationFull
            && (group < 0
                || ::fanotify_mark(group, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD,
                    QFile::encodeName(struckSource).constData()))) {
            ::close(group);
            QSKIP("fanotify permission events need CAP_SYS_ADMIN");
        }
        // The copy waits in its first read of the struck source while the fault strikes; the
        // mark goes before the read is allowed, so that no later read waits for an answer.
        std::thread hook([&] {
            pollfd ready = { group, POLLIN, 0 };
            fanotify_event_metadata event {};
            if (fault == DestinationFull || ::poll(&ready, 1, 10000) <= 0
                || ::read(group, &event, sizeof event) != sizeof event)
                return;
            QFile intruder(folder.filePath("copy" + struck));
            if (fault == DestinationAppears && intruder.open(QIODevice::NewOnly))
                intruder.write("intruder");
            if (fault == SourceTruncated)
                QFile(struckSource).resize(128 * 1024);
            if (fault == SourceDeleted)
                QFile::remove(struckSource);
            ::fanotify_mark(group, FAN_MARK_FLUSH, 0, AT_FDCWD, nullptr);
            const fanotify_response allow = { event.fd, FAN_ALLOW };
            [[maybe_unused]] const ssize_t answered = ::write(group, &allow, sizeof allow);
            ::close(event.fd);
        });
        // The dialog must not ask "replace?": the frame never overwrites, and its box says so.
        ModalAnswer answers(
            { ModalAnswer::chooseFile(folder.filePath(typed)), ModalAnswer::pressButton("OK") });
        frame.m_saveAsAction->trigger();
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        hook.join();
        ::close(group);

        QStringList files;
        for (const QString& name : filesBelow(folder.path()) + sources.keys()) {
            const QByteArray bytes = fileBytes(folder.filePath(name));
            const QString equal = sources.key(bytes, bytes.size() < 64 ? bytes : "cut");
            if (name != equal)
                files << name + ':' + equal;
        }
        files.removeDuplicates();
        files.sort();
        const SeenDialog box = answers.dialogs().value(1);
        const QStringList named
            = box.text.split('\n').filter(" (").replaceInStrings(QRegularExpression(" \\(.*"), "");
        QStringList seen { box.title, files.join(' '), named.join(','), frame.windowTitle() };
        QCOMPARE(seen.join('|').replace(folder.path(), "D"), "Copy File Information|" + after);
    }
};

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
