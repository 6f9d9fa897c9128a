#include "testenvironment.h"
#include "testframe.h"

#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>

#include <QPainter>
#include <QToolButton>
#include <QtTest>

#include <creplaybar.h>

// The tool bars' pictures as a screen shows them; ctest runs this at 100 % and 200 % too.
class TestPictures : public QObject
{
    Q_OBJECT

    TestConfigDir m_dir;
    TestFrame m_frame;
    CReplayBar* m_bar = nullptr; // owned by the frame

private slots:
    void initTestCase()
    {
        // Qt 5 hands out pixmaps of the screen's density only with this attribute; Qt 6 always.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
        for (const char* name : { "modi", "wrap", "autoplay", "peakhold", "leveldetect" }) {
            auto* selection = new values::ValueSelection(QString::fromUtf8(name));
            for (const char* item : { "STOP", "PLAY", "FPLAY", "OFF", "ON" })
                selection->AddItem(new values::SelectionItem(QString::fromUtf8(item), 0.0, 0));
            QVERIFY(values::Tree::Instance()->AddValue(QStringLiteral("/Pictures"), selection));
        }
        m_frame.initialize(false);
        m_bar = new CReplayBar(&m_frame, "Replay", QStringLiteral("/Pictures"));
        m_bar->addDockWindow();
        m_frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_frame));
        // A run meant for a dense screen must not pass on an ordinary one.
        QCOMPARE(m_frame.windowHandle()->devicePixelRatio(),
            qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    }

    // The button, the value and its items that select and unselect it, and its design: the
    // files of that name under src/pictures (with "_on" and "_off" for the two looks).
    void picture_data()
    {
        QTest::addColumn<QStringList>("select");
        QTest::addColumn<QString>("design");
        QTest::newRow("Open File") << QStringList() << "fileopen";
        QTest::newRow("Save as file") << QStringList() << "filesaveas";
        QTest::newRow("Goto Begin") << QStringList() << "gotobegin";
        QTest::newRow("Step Rewind") << QStringList() << "steprewind";
        QTest::newRow("Step Forward") << QStringList() << "stepforward";
        QTest::newRow("Goto End") << QStringList() << "gotoend";
        QTest::newRow("Play") << QStringList { "modi", "PLAY", "STOP" } << "play";
        QTest::newRow("Fast Play") << QStringList { "modi", "FPLAY", "STOP" } << "fastplay";
        QTest::newRow("Stop") << QStringList { "modi", "STOP", "PLAY" } << "stop";
        QTest::newRow("Wrap to Begin") << QStringList { "wrap", "ON", "OFF" } << "wrap";
        QTest::newRow("Auto Play") << QStringList { "autoplay", "ON", "OFF" } << "autoplay";
        QTest::newRow("Peak Hold") << QStringList { "peakhold", "ON", "OFF" } << "peakhold";
        QTest::newRow("Level Detect")
            << QStringList { "leveldetect", "ON", "OFF" } << "leveldetect";
    }
    void picture()
    {
        QFETCH(QStringList, select);
        QFETCH(QString, design);
        QToolButton* button = m_bar->findChild<VCButton*>(QTest::currentDataTag());
        if (!button)
            button = qobject_cast<QToolButton*>(m_frame.m_mainToolBar->widgetForAction(
                m_frame.findChild<QAction*>(QTest::currentDataTag())));
        QVERIFY(button);
        const qreal ratio = m_frame.windowHandle()->devicePixelRatio();
        const auto argb = [](const QImage& image) {
            QImage plain = image.convertToFormat(QImage::Format_ARGB32);
            plain.setDevicePixelRatio(1.0);
            return plain;
        };
        for (const QString& look :
            select.isEmpty() ? QStringList { "" } : QStringList { "_on", "_off" }) {
            if (!select.isEmpty())
                QVERIFY(values::Tree::Instance()
                            ->Find<values::ValueSelection>("/Pictures/" + select.at(0))
                            ->Select(select.at(look == "_off" ? 2 : 1)));
            // The files are C sources; the XPM reader wants its mark first.
            const auto load = [&](const char* suffix) {
                const QString file = QStringLiteral(TEV_PICTURES_DIR "/") + design + look + suffix;
                return argb(QImage::fromData("/* XPM */\n" + fileBytes(file), "XPM"));
            };
            const QImage once = load(".xpm"), twice = load("@2x.xpm");
            const QSize size = once.size();
            const QIcon icon = button->icon();
            QCOMPARE(icon.availableSizes(), QList<QSize>({ size, size * 2 }));
            QCOMPARE(icon.pixmap(size, QIcon::Disabled).size(), size * ratio);
            // With more room than it needs, as a tool bar gives: the design drawn for the
            // density, unscaled, in the middle; never the other one enlarged or shrunk.
            const QPixmap shown = icon.pixmap(size * 3);
            QCOMPARE(shown.devicePixelRatio(), ratio);
            QRect middle(QPoint(), (ratio > 1 ? twice : once).size());
            middle.moveCenter(shown.rect().center());
            QCOMPARE(argb(shown.toImage()).copy(middle), ratio > 1 ? twice : once);
            // Painted on a dense device (a printer, a grab at 200 %): that density's design.
            QImage painted(size * 2, QImage::Format_ARGB32_Premultiplied);
            painted.fill(Qt::transparent);
            painted.setDevicePixelRatio(2);
            QPainter painter(&painted);
            icon.paint(&painter, QRect(QPoint(), size));
            painter.end();
            QCOMPARE(argb(painted), twice);
        }
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
