#include "holdfile.h"

#include <fileapi/fileapi.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QtTest>

#include <memory>
#include <signal.h>
#include <unistd.h>

using fileapi::CopyResult;
using fileapi::InvalidHandle;
Q_DECLARE_METATYPE(CopyResult)

namespace {

// Who else has "file" open while the test opens it.
enum Holder { Nobody, Reader, Writer, ReadWriter, OwnWriter, OwnProbe };

const QByteArray kContent = "content";
const QByteArray kMissing = "<missing>";

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : kMissing;
}

QByteArray largeContent()
{
    QByteArray content;
    for (int i = 0; content.size() < 3 * 1024 * 1024; ++i)
        content += QByteArray::number(i) + '\n';
    return content;
}

} // namespace

class TestFileApi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        ::umask(022); // so that a copy that keeps the umask shows in its mode
        m_dir.reset(new QTemporaryDir);
        QFile file(path("file"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kContent) == kContent.size());
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    }
    void cleanup()
    {
        m_child.reset();
        fileapi::Close(std::exchange(m_own, InvalidHandle));
    }

    void openExisting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("holder");
        QTest::addColumn<bool>("opens");
        QTest::newRow("file") << "file" << int(Nobody) << true;
        QTest::newRow("file another process writes") << "file" << int(Writer) << true;
        QTest::newRow("missing") << "missing" << int(Nobody) << false;
        QTest::newRow("in a missing folder") << "missing/file" << int(Nobody) << false;
        QTest::newRow("folder") << "folder" << int(Nobody) << false;
    }
    void openExisting()
    {
        QFETCH(QString, name);
        QFETCH(int, holder);
        QFETCH(bool, opens);
        hold(holder);
        const fileapi::Handle handle = fileapi::OpenExisting(stdPath(name));
        QCOMPARE(handle != InvalidHandle, opens);
        QCOMPARE(fileapi::Close(handle), opens);
    }

    void openWrite_data()
    {
        QTest::addColumn<int>("holder");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("shareWrite");
        QTest::addColumn<bool>("opens");
        const struct
        {
            const char* name;
            Holder holder;
            bool readOnly, opensExclusive, opensShared;
        } rows[] = {
            { "free", Nobody, false, true, true },
            { "read-only", Nobody, true, false, false },
            { "read by another process", Reader, false, false, false },
            { "written by another process", Writer, false, false, true },
            { "read and written by another process", ReadWriter, false, false, false },
            { "written through our own shared handle", OwnWriter, false, false, true },
            { "probed by ourselves", OwnProbe, false, true, true },
        };
        for (const auto& row : rows) {
            QTest::addRow("%s, exclusive", row.name)
                << int(row.holder) << row.readOnly << false << row.opensExclusive;
            QTest::addRow("%s, sharing writes", row.name)
                << int(row.holder) << row.readOnly << true << row.opensShared;
        }
    }
    void openWrite()
    {
        QFETCH(int, holder);
        QFETCH(bool, readOnly);
        QFETCH(bool, shareWrite);
        QFETCH(bool, opens);
        if (readOnly) // root could write it all the same
            QVERIFY(QFile::setPermissions(path("file"), QFile::ReadOwner | QFile::ReadGroup));
        hold(holder);
        const fileapi::Handle handle = fileapi::OpenWrite(stdPath("file"), shareWrite);
        QCOMPARE(handle != InvalidHandle, opens);
        QCOMPARE(fileapi::Close(handle), opens);
        QCOMPARE(readAll(path("file")), kContent);
    }

    void createNew_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // afterwards
        QTest::newRow("new") << "new" << QByteArray("");
        QTest::newRow("existing") << "file" << kContent;
        QTest::newRow("in a missing folder") << "missing/new" << kMissing;
    }
    void createNew()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const fileapi::Handle handle = fileapi::CreateNew(stdPath(name), false);
        QCOMPARE(handle != InvalidHandle, name == "new");
        QCOMPARE(fileapi::Close(handle), name == "new");
        QCOMPARE(readAll(path(name)), content);
    }

    void copy_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<CopyResult>("result");
        QTest::addColumn<QByteArray>("content"); // of `to` afterwards
        QTest::newRow("copy") << "source"
                              << "copy" << CopyResult::Copied << largeContent();
        QTest::newRow("into a folder") << "source"
                                       << "folder/copy" << CopyResult::Copied << largeContent();
        QTest::newRow("onto an existing file")
            << "source"
            << "file" << CopyResult::DestinationExists << kContent;
        QTest::newRow("missing source") << "missing"
                                        << "copy" << CopyResult::SourceMissing << kMissing;
        QTest::newRow("missing destination folder")
            << "source"
            << "missing/copy" << CopyResult::Failed << kMissing;
        QTest::newRow("folder as source") << "folder"
                                          << "copy" << CopyResult::Failed << kMissing;
    }
    void copy()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(CopyResult, result);
        QFETCH(QByteArray, content);
        writeSource();
        const QStringList before = entries();
        std::string error;
        QCOMPARE(fileapi::CopyNoOverwrite(stdPath(from), stdPath(to), &error), result);
        QCOMPARE(error.empty(), result == CopyResult::Copied);
        QCOMPARE(readAll(path(to)), content);
        if (result == CopyResult::Copied)
            QCOMPARE(QFileInfo(path(to)).permissions(), QFileInfo(path("source")).permissions());
        else
            QCOMPARE(entries(), before); // no temporary left behind
    }

    // A file size limit stops the copy mid-way, as a full disk would.
    void copyOntoFullDisk()
    {
        writeSource();
        const QStringList before = entries();
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN); // else the limit kills instead of failing the write
            const rlimit limit = { 64 * 1024, 64 * 1024 };
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::_exit(int(fileapi::CopyNoOverwrite(stdPath("source"), stdPath("copy"), nullptr)));
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(CopyResult(WEXITSTATUS(status)), CopyResult::Failed);
        QCOMPARE(entries(), before);
    }

private:
    void hold(int holder)
    {
        if (holder >= Reader && holder <= ReadWriter) {
            // Reader, Writer and ReadWriter follow the order of HoldFile::Access.
            m_child.reset(new HoldFile(path("file"), HoldFile::Access(holder - Reader)));
            QVERIFY(m_child->isHolding());
        } else if (holder != Nobody) {
            m_own = holder == OwnWriter ? fileapi::OpenWrite(stdPath("file"), true)
                                        : fileapi::OpenExisting(stdPath("file"));
            QVERIFY(m_own != InvalidHandle);
        }
    }
    void writeSource()
    {
        QFile file(path("source"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(largeContent()) > 0);
        // Group write is what the umask would take away.
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
            | QFile::WriteGroup | QFile::ReadOther));
    }
    QString path(const QString& name) const { return m_dir->filePath(name); }
    std::string stdPath(const QString& name) const { return path(name).toStdString(); }
    QStringList entries() const
    {
        QStringList all;
        QDirIterator it(m_dir->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
            QDirIterator::Subdirectories);
        while (it.hasNext())
            all << it.next();
        all.sort();
        return all;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HoldFile> m_child;
    fileapi::Handle m_own = InvalidHandle;
};

QTEST_GUILESS_MAIN(TestFileApi)
#include "tst_fileapi.moc"
