#include "creplaybar.h"

#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>
#include <valuewidgets/vconeofbutton.h>

#include <QMainWindow>
#include <QtTest>

// The replay bar and the value buttons it is made of.
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

// The bar's pictures: a framed bar in the lowest rows, green inside while selected.
bool showsGreen(const QAbstractButton& button)
{
    return button.icon().pixmap(16, 16).toImage().pixel(8, 13) == qRgb(0, 255, 0);
}

// A selection of `items` at `prefix`/`name`, with the item at `current` selected.
values::ValueSelection* addSelection(
    const QString& prefix, const QString& name, const QStringList& items, int current = 0)
{
    auto* selection = new values::ValueSelection(name);
    for (int i = 0; i < items.size(); ++i)
        selection->AddItem(new values::SelectionItem(items[i], 0.0, i));
    selection->SelectIndex(current);
    return values::Tree::Instance()->AddValue(prefix, selection) ? selection : nullptr;
}

QList<VCButton*> enabledButtons(const CReplayBar& bar)
{
    QList<VCButton*> enabled;
    for (VCButton* button : bar.findChildren<VCButton*>()) {
        if (button->isEnabled())
            enabled << button;
    }
    return enabled;
}
} // namespace

class TestReplayBar : public QObject
{
    Q_OBJECT
    int m_count = 0;
    QString freshName() { return QStringLiteral("v%1").arg(++m_count); }

private slots:
    void initTestCase()
    {
        // The engine's side: the values the bar binds to, under a prefix and without one.
        for (const QString& prefix : { QStringLiteral("/Replay"), QString() }) {
            for (const char* name : { "gbegin", "sbkwd", "sfwd", "gend" })
                QVERIFY(addSelection(prefix, name, { "GO" }));
            QVERIFY(addSelection(prefix, "modi", { "STOP", "PLAY", "FPLAY" }));
            for (const char* name : { "wrap", "autoplay", "peakhold", "leveldetect" })
                QVERIFY(addSelection(prefix, name, { "OFF", "ON" }));
        }
    }

    // The value paths and items are the contract with the engine, the index the host's.
    void buttons_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("item"); // empty for a push button
        QTest::addColumn<QString>("other");
        const auto row = [](const char* name, int index, const char* path, const char* item,
                             const char* other) {
            QTest::newRow(name) << index << QStringLiteral("/Replay/") + path << item << other;
        };
        row("Goto Begin", 1, "gbegin", "", "");
        row("Play", 2, "modi", "PLAY", "STOP");
        row("Goto End", 3, "gend", "", "");
        row("Fast Play", 4, "modi", "FPLAY", "STOP");
        row("Stop", 5, "modi", "STOP", "STOP"); // pressed again, the replay stays stopped
        row("Wrap to Begin", 6, "wrap", "ON", "OFF");
        row("Auto Play", 7, "autoplay", "ON", "OFF");
        row("Step Forward", 8, "sfwd", "", "");
        row("Step Rewind", 9, "sbkwd", "", "");
        row("Peak Hold", 10, "peakhold", "ON", "OFF");
        row("Level Detect", 11, "leveldetect", "ON", "OFF");
    }
    void buttons()
    {
        QFETCH(int, index);
        QFETCH(QString, path);
        QFETCH(QString, item);
        QFETCH(QString, other);
        // A prefix ending in "/" gives a doubled slash, which the tree reads as one.
        for (const QString& prefix : { QStringLiteral("/Replay"), QStringLiteral("/Replay/") }) {
            CReplayBar bar(nullptr, "Replay", prefix);
            auto* button = bar.findChild<VCButton*>(QString::fromUtf8(QTest::currentDataTag()));
            QVERIFY(button && button->GetValueSelection());
            values::ValueSelection* value = button->GetValueSelection();
            QCOMPARE(value->GetPath(), path);
            auto* oneOf = qobject_cast<VCOneOfButton*>(button);
            QCOMPARE(oneOf ? oneOf->GetItem() + '|' + oneOf->GetOtherItem() : QString(),
                item.isEmpty() ? QString() : item + '|' + other);

            QVERIFY(enabledButtons(bar).isEmpty());
            bar.enableButton(index, true);
            QCOMPARE(enabledButtons(bar), QList<VCButton*> { button });
            value->SelectIndex(0);
            QCOMPARE(showsGreen(*button), oneOf && item == value->GetStringValue());
            button->click();
            QCOMPARE(value->GetStringValue(), oneOf ? item : QStringLiteral("GO"));
            QCOMPARE(showsGreen(*button), bool(oneOf));
            button->click();
            QCOMPARE(value->GetStringValue(), oneOf ? other : QStringLiteral("GO"));
            QCOMPARE(showsGreen(*button), oneOf && item == other);
            value->SelectIndex(0);
        }
    }

    void defaultsAndDock()
    {
        QMainWindow window;
        CReplayBar bar(&window);
        QCOMPARE(bar.findChild<VCButton*>("Goto Begin")->GetValueSelection()->GetPath(),
            QStringLiteral("/gbegin"));
        bar.enableButton(0, true);
        bar.enableButton(12, true);
        QVERIFY(enabledButtons(bar).isEmpty());
        bar.enable(true);
        QCOMPARE(enabledButtons(bar).size(), 11);
        bar.addDockWindow(Qt::LeftDockWidgetArea, true);
        QCOMPARE(window.toolBarArea(&bar), Qt::TopToolBarArea);
    }

    // A press on a button bound to "ON"/"OFF"; the bar's rows press one-of buttons further.
    void press_data()
    {
        QTest::addColumn<bool>("oneOf"); // a one-of button for "ON" (else "OFF"), or a push button
        QTest::addColumn<int>("current"); // the index selected before; -1 for none
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("changes");
        QTest::newRow("push: current item is announced again") << false << 1 << true << "OFF" << 1;
        QTest::newRow("push: nothing current selects the first")
            << false << -1 << true << "ON" << 1;
        QTest::newRow("push: disabled ignores the press") << false << 1 << false << "OFF" << 0;
        QTest::newRow("one of: nothing current") << true << -1 << true << "ON" << 1;
        QTest::newRow("one of: disabled") << true << 1 << false << "OFF" << 0;
    }
    void press()
    {
        QFETCH(bool, oneOf);
        QFETCH(int, current);
        QFETCH(bool, enabled);
        values::ValueSelection* value
            = addSelection("/Widgets", freshName(), { "ON", "OFF" }, current);
        Recorder recorder;
        value->AddObserver(&recorder);
        VCOneOfButton switcher(QString(), nullptr, selectedXpm, unselectedXpm);
        VCButton push;
        VCButton& button = oneOf ? switcher : push;
        QVERIFY(oneOf ? switcher.SetSelection_ValuePath(value->GetPath(), "ON", "OFF")
                      : push.SetValueSelection_ValuePath(value->GetPath()));
        button.setEnabled(enabled);
        QTest::mouseClick(&button, Qt::LeftButton);
        QTEST(value->GetStringValue(), "after");
        QTEST(recorder.changes, "changes");
        QCOMPARE(shows(switcher, selectedXpm), oneOf && value->GetStringValue() == "ON");
        value->DeleteObserver(&recorder);
    }

    // The button observes only the value it is bound to, and lets go of one that ends.
    void binding()
    {
        values::ValueSelection* first = addSelection("/Widgets", freshName(), { "ON", "OFF" });
        values::ValueSelection* second = addSelection("/Widgets", freshName(), { "ON", "OFF" });
        {
            VCButton button;
            button.SetValueSelection_ValuePath(first->GetPath());
            QVERIFY(!button.SetValueSelection_ValuePath(QStringLiteral("/Widgets/missing")));
            QCOMPARE(first->ObserverCount(), 0);
            button.SetValueSelection_ValuePath(first->GetPath());
        }
        QCOMPARE(first->ObserverCount(), 0);

        VCOneOfButton button(QString(), nullptr, selectedXpm, unselectedXpm);
        QVERIFY(shows(button, unselectedXpm)); // unbound
        button.SetSelection_ValuePath(first->GetPath(), "ON", "OFF");
        QVERIFY(shows(button, selectedXpm));
        button.SetSelection_ValuePath(second->GetPath(), "ON", "OFF");
        QCOMPARE(first->ObserverCount() + second->ObserverCount(), 1);
        QVERIFY(values::Tree::Instance()->RemoveValue(second->GetPath()));
        QVERIFY(!button.GetValueSelection());
        QVERIFY(shows(button, unselectedXpm));
        button.click(); // must not touch the deleted value
    }

    void picturesOfSeveralSizes()
    {
        values::ValueSelection* value = addSelection("/Widgets", freshName(), { "ON", "OFF" });
        VCOneOfButton button(QString(), nullptr, selectedXpm, unselectedXpm);
        button.SetSelection_ValuePath(value->GetPath(), "ON", "OFF");
        // The larger size first: the button must pick the smallest, not the first. The new
        // pictures swap the looks, so that the old ones cannot pass for them.
        QPixmap large(8, 4);
        large.fill(Qt::red);
        QIcon selected(large), unselected(large);
        selected.addPixmap(QPixmap(unselectedXpm));
        unselected.addPixmap(QPixmap(selectedXpm));
        button.SetPictures(selected, unselected);
        QCOMPARE(button.iconSize(), QSize(2, 1));
        QVERIFY(shows(button, unselectedXpm));
        value->Select(QStringLiteral("OFF"));
        QVERIFY(shows(button, selectedXpm));
    }
};

QTEST_MAIN(TestReplayBar)
#include "tst_replaybar.moc"
