#include "creplaybar.h"

#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>
#include <valuewidgets/vconeofbutton.h>

#include <QMainWindow>
#include <QtTest>

namespace {
// The engine's side: the values the bar binds to, under `prefix`.
void createEngineValues(const QString& prefix)
{
    const QList<QPair<const char*, QStringList>> values = {
        { "gbegin", { "GO" } },
        { "sbkwd", { "GO" } },
        { "sfwd", { "GO" } },
        { "gend", { "GO" } },
        { "modi", { "STOP", "PLAY", "FPLAY" } },
        { "wrap", { "OFF", "ON" } },
        { "autoplay", { "OFF", "ON" } },
        { "peakhold", { "OFF", "ON" } },
        { "leveldetect", { "OFF", "ON" } },
    };
    for (const auto& [name, items] : values) {
        auto* selection = new values::ValueSelection(QString::fromUtf8(name));
        for (int i = 0; i < items.size(); ++i)
            selection->AddItem(new values::SelectionItem(items[i], 0.0, i));
        selection->SelectIndex(0);
        QVERIFY(values::Tree::Instance()->AddValue(prefix, selection));
    }
}

// Object names in bar order, "|" for a separator.
QStringList barLayout(const CReplayBar& bar)
{
    QStringList names;
    for (QAction* action : bar.actions()) {
        QWidget* widget = bar.widgetForAction(action);
        names << (action->isSeparator() ? QStringLiteral("|") : widget->objectName());
    }
    return names;
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

private slots:
    void initTestCase()
    {
        createEngineValues(QStringLiteral("/Replay"));
        createEngineValues(QString()); // for the default prefix
    }

    void defaults()
    {
        CReplayBar bar;
        QCOMPARE(bar.windowTitle(), QStringLiteral("Replay Operations"));
        QCOMPARE(barLayout(bar),
            QStringList(
                { "Goto Begin", "Step Rewind", "Play", "Fast Play", "Step Forward", "Goto End",
                    "Stop", "Wrap to Begin", "Auto Play", "|", "Peak Hold", "Level Detect" }));
        QVERIFY(enabledButtons(bar).isEmpty());
        bar.enable(true);
        QCOMPARE(enabledButtons(bar).size(), 11);
        QCOMPARE(bar.findChild<VCButton*>("Goto Begin")->GetValueSelection()->GetPath(),
            QStringLiteral("/gbegin"));
        bar.addDockWindow(); // no main window: nothing to do
    }

    void buttons_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("other");
        QTest::newRow("Goto Begin") << "/Replay/gbegin"
                                    << ""
                                    << "";
        QTest::newRow("Step Rewind") << "/Replay/sbkwd"
                                     << ""
                                     << "";
        QTest::newRow("Play") << "/Replay/modi"
                              << "PLAY"
                              << "STOP";
        QTest::newRow("Fast Play") << "/Replay/modi"
                                   << "FPLAY"
                                   << "STOP";
        QTest::newRow("Step Forward") << "/Replay/sfwd"
                                      << ""
                                      << "";
        QTest::newRow("Goto End") << "/Replay/gend"
                                  << ""
                                  << "";
        QTest::newRow("Stop") << "/Replay/modi"
                              << "STOP"
                              << "STOP";
        QTest::newRow("Wrap to Begin") << "/Replay/wrap"
                                       << "ON"
                                       << "OFF";
        QTest::newRow("Auto Play") << "/Replay/autoplay"
                                   << "ON"
                                   << "OFF";
        QTest::newRow("Peak Hold") << "/Replay/peakhold"
                                   << "ON"
                                   << "OFF";
        QTest::newRow("Level Detect") << "/Replay/leveldetect"
                                      << "ON"
                                      << "OFF";
    }
    void buttons()
    {
        QFETCH(QString, path);
        QFETCH(QString, item);
        QFETCH(QString, other);
        // A prefix ending in "/" gives a doubled slash, which the tree reads as one.
        for (const QString& prefix : { QStringLiteral("/Replay"), QStringLiteral("/Replay/") }) {
            CReplayBar bar(nullptr, "Replay", prefix);
            auto* button = bar.findChild<VCButton*>(QString::fromUtf8(QTest::currentDataTag()));
            QVERIFY(button);
            values::ValueSelection* value = button->GetValueSelection();
            QVERIFY(value);
            QCOMPARE(value->GetPath(), path);
            QCOMPARE(button->toolTip(), button->objectName());

            // The picture: a framed bar in the lowest four rows, green inside while selected.
            auto* oneOf = qobject_cast<VCOneOfButton*>(button);
            QCOMPARE(oneOf != nullptr, !item.isEmpty());
            if (oneOf) {
                QCOMPARE(oneOf->GetItem(), item);
                QCOMPARE(oneOf->GetOtherItem(), other);
                value->Select(item);
            }
            const QImage picture
                = button->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(picture.size(), QSize(16, 16));
            QCOMPARE(picture.pixel(0, 12), qRgb(0, 0, 0));
            QCOMPARE(picture.pixel(8, 13), oneOf ? qRgb(0, 255, 0) : 0u);
            value->SelectIndex(0);
        }
    }

    void enableButton_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("button");
        const char* const names[]
            = { "Goto Begin", "Play", "Goto End", "Fast Play", "Stop", "Wrap to Begin", "Auto Play",
                  "Step Forward", "Step Rewind", "Peak Hold", "Level Detect" };
        for (int index = 1; index <= 11; ++index)
            QTest::addRow("%d", index) << index << names[index - 1];
        QTest::newRow("0") << 0 << "";
        QTest::newRow("12") << 12 << "";
    }
    void enableButton()
    {
        QFETCH(int, index);
        QFETCH(QString, button);
        CReplayBar bar(nullptr, "Replay", QStringLiteral("/Replay"));
        bar.enableButton(index, true);
        const QList<VCButton*> enabled = enabledButtons(bar);
        QCOMPARE(enabled.size(), button.isEmpty() ? 0 : 1);
        if (!button.isEmpty())
            QCOMPARE(enabled.first()->objectName(), button);

        bar.enableAction(true);
        bar.enableButton(index, false);
        QCOMPARE(enabledButtons(bar).size(), button.isEmpty() ? 11 : 10);
    }

    void modeButtonsShareOneValue()
    {
        CReplayBar bar(nullptr, "Replay", QStringLiteral("/Replay"));
        bar.enable(true);
        auto* mode = values::Tree::Instance()->Find<values::ValueSelection>("/Replay/modi");
        mode->Select(QStringLiteral("STOP"));
        const QList<QPair<const char*, const char*>> steps
            = { { "Play", "PLAY" }, { "Fast Play", "FPLAY" }, { "Fast Play", "STOP" },
                  { "Play", "PLAY" }, { "Stop", "STOP" }, { "Stop", "STOP" } };
        for (const auto& [button, expected] : steps) {
            bar.findChild<VCButton*>(button)->click();
            QCOMPARE(mode->GetStringValue(), QString::fromUtf8(expected));
        }
    }

    void addDockWindowPutsTheBarAtTheTop()
    {
        QMainWindow window;
        CReplayBar bar(&window);
        bar.addDockWindow(Qt::LeftDockWidgetArea, true);
        QCOMPARE(window.toolBarArea(&bar), Qt::TopToolBarArea);
    }
};

QTEST_MAIN(TestReplayBar)
#include "tst_replaybar.moc"
