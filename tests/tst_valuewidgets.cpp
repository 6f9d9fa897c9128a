#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>
#include <valuewidgets/vconeofbutton.h>

#include <QtTest>

namespace {
// Two-pixel pictures that differ in colour, for telling the looks apart.
const char* const selectedXpm[] = { "2 1 1 1", "# c #000000", "##" };
const char* const unselectedXpm[] = { "2 1 1 1", "w c #ffffff", "ww" };

struct Recorder : IObserver
{
    int changes = 0;
    void Update(Observable*, TChangeCode code) override { changes += code == CC_Changed; }
};

bool shows(const QAbstractButton& button, const char* const* xpm)
{
    const QImage expected = QImage(xpm).convertToFormat(QImage::Format_ARGB32);
    return button.icon().pixmap(expected.size()).toImage().convertToFormat(QImage::Format_ARGB32)
        == expected;
}
} // namespace

class TestValueWidgets : public QObject
{
    Q_OBJECT

    int m_count = 0;

    // The tree is shared by the whole process: every test gets a path of its own.
    values::ValueSelection* makeSelection(const QStringList& items, const QString& current)
    {
        auto* selection = new values::ValueSelection(QStringLiteral("v%1").arg(++m_count));
        for (int i = 0; i < items.size(); ++i)
            selection->AddItem(new values::SelectionItem(items[i], 0.0, i));
        if (!current.isEmpty())
            selection->Select(current);
        values::Tree::Instance()->AddValue(QStringLiteral("/Widgets"), selection);
        return selection;
    }

private slots:
    void pushButtonPress_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("changes");
        QTest::newRow("current item is announced again") << "B" << true << "B" << 1;
        QTest::newRow("nothing current selects the first") << "" << true << "A" << 1;
        QTest::newRow("disabled ignores the press") << "B" << false << "B" << 0;
    }
    void pushButtonPress()
    {
        QFETCH(QString, current);
        QFETCH(bool, enabled);
        values::ValueSelection* value = makeSelection({ "A", "B" }, current);
        Recorder recorder;
        value->AddObserver(&recorder);
        VCButton button(nullptr, QStringLiteral("Step"));
        QVERIFY(button.SetValueSelection_ValuePath(value->GetPath()));
        static_cast<VCButton&>(button).setEnabled(enabled);
        QTest::mouseClick(&button, Qt::LeftButton);
        QTEST(value->GetStringValue(), "after");
        QTEST(recorder.changes, "changes");
        QCOMPARE(button.toolTip(), QStringLiteral("Step"));
        value->DeleteObserver(&recorder);
    }

    void oneOfPress_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("after");
        QTest::newRow("selects its item") << "OFF"
                                          << "ON"
                                          << "OFF" << true << "ON";
        QTest::newRow("again selects the other") << "ON"
                                                 << "ON"
                                                 << "OFF" << true << "OFF";
        QTest::newRow("nothing current") << ""
                                         << "ON"
                                         << "OFF" << true << "ON";
        QTest::newRow("same item both ways") << "ON"
                                             << "ON"
                                             << "ON" << true << "ON";
        QTest::newRow("disabled") << "OFF"
                                  << "ON"
                                  << "OFF" << false << "OFF";
    }
    void oneOfPress()
    {
        QFETCH(QString, current);
        QFETCH(QString, item);
        QFETCH(QString, other);
        QFETCH(bool, enabled);
        values::ValueSelection* value = makeSelection({ "ON", "OFF" }, current);
        VCOneOfButton button(QStringLiteral("Switch"), nullptr, selectedXpm, unselectedXpm);
        QVERIFY(button.SetSelection_ValuePath(value->GetPath(), item, other));
        static_cast<VCButton&>(button).setEnabled(enabled);
        button.click();
        QTEST(value->GetStringValue(), "after");
    }

    void pictureFollowsTheValue()
    {
        values::ValueSelection* value = makeSelection({ "PLAY", "STOP" }, "STOP");
        VCOneOfButton button(QString(), nullptr, selectedXpm, unselectedXpm);
        QVERIFY(shows(button, unselectedXpm)); // unbound
        button.SetSelection_ValuePath(value->GetPath(), "PLAY", "STOP");
        QVERIFY(shows(button, unselectedXpm));
        value->Select(QStringLiteral("PLAY"));
        QVERIFY(shows(button, selectedXpm));
        value->Select(QStringLiteral("STOP"));
        QVERIFY(shows(button, unselectedXpm));
    }

    void picturesOfSeveralSizes()
    {
        values::ValueSelection* value = makeSelection({ "PLAY", "STOP" }, "PLAY");
        VCOneOfButton button(QString(), nullptr, selectedXpm, unselectedXpm);
        button.SetSelection_ValuePath(value->GetPath(), "PLAY", "STOP");
        // The larger size first: the button must pick the smallest, not the first. The new
        // pictures swap the looks, so that the old ones cannot pass for them.
        QPixmap large(8, 4);
        large.fill(Qt::red);
        QIcon selected(large);
        selected.addPixmap(QPixmap(unselectedXpm));
        QIcon unselected(large);
        unselected.addPixmap(QPixmap(selectedXpm));
        button.SetPictures(selected, unselected);
        QCOMPARE(button.iconSize(), QSize(2, 1));
        QVERIFY(shows(button, unselectedXpm));
        value->Select(QStringLiteral("STOP"));
        QVERIFY(shows(button, selectedXpm));
    }

    void endingValueDropsTheBinding()
    {
        values::ValueSelection* value = makeSelection({ "ON", "OFF" }, "ON");
        const QString path = value->GetPath();
        VCOneOfButton button(QString(), nullptr, selectedXpm, unselectedXpm);
        button.SetSelection_ValuePath(path, "ON", "OFF");
        QVERIFY(shows(button, selectedXpm));
        QVERIFY(values::Tree::Instance()->RemoveValue(path));
        QVERIFY(!button.GetValueSelection());
        QVERIFY(shows(button, unselectedXpm));
        button.click(); // must not touch the deleted value
    }

    void registrationFollowsTheBinding()
    {
        values::ValueSelection* first = makeSelection({ "A" }, "A");
        values::ValueSelection* second = makeSelection({ "A" }, "A");
        {
            VCButton button;
            button.SetValueSelection_ValuePath(first->GetPath());
            QCOMPARE(first->ObserverCount(), 1);
            button.SetValueSelection_ValuePath(second->GetPath());
            QCOMPARE(first->ObserverCount(), 0);
            QCOMPARE(second->ObserverCount(), 1);
            QVERIFY(!button.SetValueSelection_ValuePath(QStringLiteral("/Widgets/missing")));
            QCOMPARE(second->ObserverCount(), 0);
            button.SetValueSelection_ValuePath(second->GetPath());
        }
        QCOMPARE(second->ObserverCount(), 0);
    }
};

QTEST_MAIN(TestValueWidgets)
#include "tst_valuewidgets.moc"
