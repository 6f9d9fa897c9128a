#include "framevalues_p.h"
#include "testenvironment.h"
#include "testframe.h"

#include <tevbase/errorhandler.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QtTest>

#include <memory>

namespace {
struct Recorder : IObserver
{
    QList<int> codes;
    void Update(Observable*, TChangeCode code) override { codes << code; }
};

values::Tree& tree()
{
    return *values::Tree::Instance();
}
} // namespace

class TestFrameValues : public QObject
{
    Q_OBJECT

    TestConfigDir m_dir;
    int m_rootCount = 0;
    // The tree is shared by the whole process: every test works under a root of its own.
    QString freshRoot() { return QStringLiteral("/FrameValues%1").arg(++m_rootCount); }

private slots:
    void valuesUnderTheRoot_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("loadedPath");
        QTest::newRow("plain root") << "/Replay"
                                    << "/Replay/FileLoaded";
        QTest::newRow("root with trailing slash") << "/Recorder/"
                                                  << "/Recorder/FileLoaded";
        QTest::newRow("empty root") << ""
                                    << "/FileLoaded";
    }
    void valuesUnderTheRoot()
    {
        QFETCH(QString, root);
        QFETCH(QString, loadedPath);
        {
            TestFrame frame(QStringLiteral("App"), QString(), root);
            auto* loaded = tree().Find<values::ValueSelection>(loadedPath);
            QCOMPARE(frame.m_fileLoaded, loaded);
            QCOMPARE(loaded->GetItemCount(), 2);
            QCOMPARE(loaded->GetItem(0)->GetName(), QStringLiteral("On"));
            QCOMPARE(loaded->GetItem(0)->GetKey(), 1L);
            QCOMPARE(loaded->GetItem(1)->GetName(), QStringLiteral("Off"));
            QCOMPARE(loaded->GetItem(1)->GetKey(), 0L);
            QCOMPARE(loaded->GetStringValue(), QStringLiteral("Off"));
            QString namePath = loadedPath;
            namePath.replace(QLatin1String("FileLoaded"), QLatin1String("FileName"));
            QCOMPARE(frame.m_fileName, tree().Find<values::StringValue>(namePath));
            QCOMPARE(frame.m_fileName->GetValue(), QStringLiteral("No File Loaded"));
            QVERIFY(loaded->HasObserver(&frame) && frame.m_fileName->HasObserver(&frame));
        }
        // The values outlive the frame, which no longer observes them.
        auto* loaded = tree().Find<values::ValueSelection>(loadedPath);
        QVERIFY(loaded);
        QCOMPARE(loaded->ObserverCount(), 0);
        tree().RemoveValue(loadedPath);
    }

    void secondFrameTakesOverTheValues()
    {
        const QString root = freshRoot();
        TestFrame first(QStringLiteral("App"), QString(), root);
        first.m_fileLoaded->Select(QStringLiteral("On"));
        first.m_fileName->SetValue(QStringLiteral("/rec/a.rec"));
        TestFrame second(QStringLiteral("App"), QString(), root);
        QCOMPARE(second.m_fileLoaded, first.m_fileLoaded);
        QCOMPARE(second.m_fileLoaded->GetStringValue(), QStringLiteral("On"));
        QCOMPARE(second.m_fileLoaded->GetItemCount(), 2);
        QCOMPARE(second.m_fileName, first.m_fileName);
        QCOMPARE(second.m_fileName->GetValue(), QStringLiteral("No File Loaded"));
        QCOMPARE(second.m_fileLoaded->ObserverCount(), 2);
    }

    void valuesOfAnotherTypeAreNotUsed()
    {
        const QString root = freshRoot();
        QVERIFY(tree().AddValue(root, new values::StringValue(QStringLiteral("FileLoaded"))));
        QVERIFY(tree().AddValue(root, new values::ValueSelection(QStringLiteral("FileName"))));
        ErrorHandler::Instance().SetFlags(ErrorHandler::Traces);
        QTest::ignoreMessage(QtInfoMsg,
            QRegularExpression(QStringLiteral("MEMORY LEAK! The value with the path '%1/FileName' "
                                              "could not be created")
                                   .arg(root)));
        TestFrame frame(QStringLiteral("App"), QString(), root);
        ErrorHandler::Instance().SetFlags(ErrorHandler::Assertions);
        QVERIFY(!frame.m_fileLoaded);
        // The frame works on a "FileName" of its own that nobody else sees.
        QVERIFY(frame.m_fileName);
        QVERIFY(frame.m_fileName->GetPath().isEmpty());
        QCOMPARE(frame.m_fileName->GetValue(), QStringLiteral("No File Loaded"));
        frame.initialize(false);
    }

    void endingValuesAreReleased()
    {
        const QString root = freshRoot();
        TestFrame frame(QStringLiteral("App"), QString(), root);
        // An end notice while the value is still valid changes nothing.
        frame.m_fileName->NotifyObservers(CC_Ending);
        frame.m_fileLoaded->NotifyObservers(CC_Ending);
        QVERIFY(frame.m_fileName && frame.m_fileLoaded);

        QVERIFY(tree().RemoveValue(root + QStringLiteral("/FileName")));
        QVERIFY(!frame.m_fileName);
        QVERIFY(frame.m_fileLoaded);
        QVERIFY(tree().RemoveValue(root + QStringLiteral("/FileLoaded")));
        QVERIFY(!frame.m_fileLoaded);
    }

    void findOrCreateStringValue_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("foundAt");
        QTest::newRow("nested") << "/Helpers/Deep/Name"
                                << "/Helpers/Deep/Name";
        QTest::newRow("no slash goes under the root") << "HelperTopLevel"
                                                      << "/HelperTopLevel";
    }
    void findOrCreateStringValue()
    {
        QFETCH(QString, path);
        QFETCH(QString, foundAt);
        Recorder observer;
        values::StringValue* created = FrameValues::findOrCreateStringValue(path, &observer);
        QCOMPARE(tree().FindValue(foundAt), created);
        QVERIFY(created->HasObserver(&observer));
        QCOMPARE(FrameValues::findOrCreateStringValue(path, nullptr), created);

        // Moving a registration to another value and looking up a missing one.
        values::StringValue* other = FrameValues::findOrCreateStringValue(path + "2", nullptr);
        QCOMPARE(FrameValues::findStringValue(path + "2", created, &observer), other);
        QVERIFY(!created->HasObserver(&observer) && other->HasObserver(&observer));
        QVERIFY(!FrameValues::findStringValue(path + "Missing", nullptr, &observer));
        other->DeleteObserver(&observer);
        tree().RemoveValue(foundAt);
        tree().RemoveValue(foundAt + "2");
    }
};

QTEST_MAIN(TestFrameValues)
#include "tst_framevalues.moc"
