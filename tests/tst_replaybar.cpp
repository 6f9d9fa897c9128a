#include "creplaybar.h"

#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>
#include <valuewidgets/vconeofbutton.h>

#include <QtTest>

#include <algorithm>
#include <functional>

class TestReplayBar : public QObject
{
    Q_OBJECT

private slots:
    // The value paths and items are the contract with the engine, the index the host's.
    void buttons_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("index");
        // After each of four clicks, the first while disabled, the last once rebound to a missing
        // path: the value's item, "+" when the button shows it selected, the changes heard.
        QTest::addColumn<QString>("clicks");
        // A push button selects the first item when none is current, else announces it again.
        QTest::newRow("Goto Begin") << "gbegin" << 1 << "0 STOP1 STOP2 STOP2";
        QTest::newRow("Play") << "modi" << 2 << "0 PLAY+1 STOP2 STOP2";
        QTest::newRow("Goto End") << "gend" << 3 << "0 STOP1 STOP2 STOP2";
        QTest::newRow("Fast Play") << "modi" << 4 << "0 FPLAY+1 STOP2 STOP2";
        // Pressed again, the replay stays stopped.
        QTest::newRow("Stop") << "modi" << 5 << "0 STOP+1 STOP+1 STOP1";
        QTest::newRow("Wrap to Begin") << "wrap" << 6 << "0 ON+1 OFF2 OFF2";
        QTest::newRow("Auto Play") << "autoplay" << 7 << "0 ON+1 OFF2 OFF2";
        QTest::newRow("Step Forward") << "sfwd" << 8 << "0 STOP1 STOP2 STOP2";
        QTest::newRow("Step Rewind") << "sbkwd" << 9 << "0 STOP1 STOP2 STOP2";
        QTest::newRow("Peak Hold") << "peakhold" << 10 << "0 ON+1 OFF2 OFF2";
        QTest::newRow("Level Detect") << "leveldetect" << 11 << "0 ON+1 OFF2 OFF2";
    }
    void buttons()
    {
        QFETCH(QString, path);
        QFETCH(int, index);
        const QString name = QString::fromUtf8(QTest::currentDataTag());
        const QString prefix = "/Replay" + name; // values of its own for each row
        auto* value = new values::ValueSelection(path);
        for (const char* item : { "STOP", "PLAY", "FPLAY", "OFF", "ON" })
            value->AddItem(new values::SelectionItem(item, 0.0, value->GetItemCount()));
        QVERIFY(values::Tree::Instance()->AddValue(prefix, value));
        struct Recorder : IObserver
        {
            int changes = 0;
            void Update(Observable*, TChangeCode code) override { changes += code == CC_Changed; }
        } recorder;
        value->AddObserver(&recorder);
        CReplayBar bar(nullptr, "Replay", prefix);
        VCButton* button = bar.findChild<VCButton*>(name);
        QVERIFY(button && button->GetValueSelection() == value);
        // The bar's pictures: a framed bar in the lowest rows, green inside while selected.
        const auto showsGreen = [](const QAbstractButton* shown) {
            return shown->icon().pixmap(16, 16).toImage().pixel(8, 13) == qRgb(0, 255, 0);
        };
        const auto enabled = [&bar] {
            const QList<VCButton*> all = bar.findChildren<VCButton*>();
            return int(std::count_if(all.begin(), all.end(), std::mem_fn(&QWidget::isEnabled)));
        };
        QCOMPARE(button->iconSize(), QSize(16, 16)); // the smaller of its two pictures
        bar.enableButton(0, true); // indices outside 1 to 11 do nothing
        bar.enableButton(12, true);
        QStringList clicks;
        for (int click = 0; click < 4; ++click) {
            bar.enableButton(index, click > 0);
            QCOMPARE(enabled(), click ? 1 : 0); // which one, the click tells
            if (click == 3)
                QVERIFY(!button->SetValueSelection_ValuePath(prefix + "/missing"));
            button->click();
            clicks << value->GetStringValue() + (showsGreen(button) ? "+" : "")
                    + QString::number(recorder.changes);
        }
        QTEST(clicks.join(' '), "clicks");
        // Bound again; a second bar shows the state at once; each lets go when rebound or gone.
        const int observers = value->ObserverCount();
        QVERIFY(button->SetValueSelection_ValuePath(value->GetPath()));
        {
            CReplayBar second(nullptr, "Replay", prefix);
            QCOMPARE(showsGreen(second.findChild<VCButton*>(name)), clicks.at(2).contains('+'));
        }
        QCOMPARE(value->ObserverCount(), observers + 1);
        // Given its current item while bound, a one-of button shows it selected at once.
        if (auto* oneOf = qobject_cast<VCOneOfButton*>(button))
            QVERIFY(oneOf->SetSelection_ValuePath(value->GetPath(), value->GetStringValue(), {})
                && showsGreen(button));
        bar.enable(true);
        QCOMPARE(enabled(), 11);
        // The button lets go of a value that ends, and shows it unselected.
        QVERIFY(values::Tree::Instance()->RemoveValue(value->GetPath()));
        QVERIFY(!button->GetValueSelection() && !showsGreen(button));
        button->click(); // must not touch the ended value
    }
};

QTEST_MAIN(TestReplayBar)
#include "tst_replaybar.moc"
