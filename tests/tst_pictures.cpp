#include "testenvironment.h"
#include "testframe.h"

#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>

#include <QPainter>
#include <QToolButton>
#include <QtTest>

#include <creplaybar.h>

// The pictures of the "File Operations" tool bar and of the replay bar, as a screen shows them.
// ctest runs this at 100 % and at 200 % (QT_SCALE_FACTOR).
namespace {
QImage argb(const QImage& image)
{
    QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    plain.setDevicePixelRatio(1.0);
    return plain;
}

// The picture as the icon paints it onto a device of `ratio` (2: twice the pixels).
QImage painted(const QIcon& icon, const QSize& size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    icon.paint(&painter, QRect(QPoint(), size));
    painter.end();
    return argb(image);
}

// True when every opaque pixel of `picture` lies unchanged somewhere in `shot`: the picture is
// shown unscaled (its transparent pixels show the button behind).
bool showsUnscaled(const QImage& shot, const QImage& picture)
{
    for (int top = 0; top + picture.height() <= shot.height(); ++top) {
        for (int left = 0; left + picture.width() <= shot.width(); ++left) {
            bool same = true;
            for (int y = 0; same && y < picture.height(); ++y) {
                for (int x = 0; same && x < picture.width(); ++x) {
                    const QRgb pixel = picture.pixel(x, y);
                    same = qAlpha(pixel) != 255 || shot.pixel(left + x, top + y) == pixel;
                }
            }
            if (same)
                return true;
        }
    }
    return false;
}
} // namespace

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
        m_bar->enable(true);
        m_frame.m_saveAsAction->setEnabled(true);
        m_frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_frame));
        // A tool button draws at its tool bar's icon size, more room than a picture needs: the
        // case where Qt would stretch a picture.
        QVERIFY(m_bar->iconSize().width() > 16 && m_frame.m_mainToolBar->iconSize().width() > 16);
        // A run meant for a dense screen must not pass on an ordinary one.
        QCOMPARE(m_frame.windowHandle()->devicePixelRatio(),
            qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    }

    // The button, the item selected before its look is taken, and the design it must show: the
    // file of that name under src/pictures, and the same design drawn at twice the size.
    void picture_data()
    {
        for (const char* column : { "widget", "select", "design" })
            QTest::addColumn<QString>(column);
        const auto row = [](const char* widget, const char* select, const char* design) {
            QTest::addRow("%s %s", widget, select) << widget << select << design;
        };
        row("Open File", "", "fileopen");
        row("Save as file", "", "filesaveas");
        row("Goto Begin", "", "gotobegin");
        row("Step Rewind", "", "steprewind");
        row("Step Forward", "", "stepforward");
        row("Goto End", "", "gotoend");
        row("Play", "modi=PLAY", "play_on");
        row("Play", "modi=STOP", "play_off");
        row("Fast Play", "modi=FPLAY", "fastplay_on");
        row("Fast Play", "modi=STOP", "fastplay_off");
        row("Stop", "modi=STOP", "stop_on");
        row("Stop", "modi=PLAY", "stop_off");
        row("Wrap to Begin", "wrap=ON", "wrap_on");
        row("Wrap to Begin", "wrap=OFF", "wrap_off");
        row("Auto Play", "autoplay=ON", "autoplay_on");
        row("Auto Play", "autoplay=OFF", "autoplay_off");
        row("Peak Hold", "peakhold=ON", "peakhold_on");
        row("Peak Hold", "peakhold=OFF", "peakhold_off");
        row("Level Detect", "leveldetect=ON", "leveldetect_on");
        row("Level Detect", "leveldetect=OFF", "leveldetect_off");
    }
    void picture()
    {
        QFETCH(QString, widget);
        QFETCH(QString, select);
        QFETCH(QString, design);
        if (!select.isEmpty())
            QVERIFY(values::Tree::Instance()
                        ->Find<values::ValueSelection>("/Pictures/" + select.section('=', 0, 0))
                        ->Select(select.section('=', 1)));
        QToolButton* button = m_bar->findChild<VCButton*>(widget);
        if (!button)
            button = qobject_cast<QToolButton*>(
                m_frame.m_mainToolBar->widgetForAction(m_frame.findChild<QAction*>(widget)));
        QVERIFY(button);
        const QString file = QStringLiteral(TEV_PICTURES_DIR "/") + design;
        // The files are C sources; the XPM reader wants its mark first.
        const auto load = [&](const char* suffix) {
            return argb(QImage::fromData("/* XPM */\n" + fileBytes(file + suffix), "XPM"));
        };
        const QImage once = load(".xpm");
        const QImage twice = load("@2x.xpm");
        const QSize size = once.size();
        const QIcon icon = button->icon();
        QCOMPARE(icon.availableSizes(), QList<QSize>({ size, size * 2 }));

        // The design drawn for the density, never the other one enlarged or shrunk. The
        // application's ratio, which initTestCase found to be the window's.
        const qreal ratio = m_frame.windowHandle()->devicePixelRatio();
        const QPixmap shown = icon.pixmap(size);
        QCOMPARE(shown.devicePixelRatio(), ratio);
        QCOMPARE(argb(shown.toImage()), ratio > 1 ? twice : once);
        QCOMPARE(icon.pixmap(size, QIcon::Disabled).size(), size * ratio);
        QCOMPARE(painted(icon, size, 1.0), once);
        QCOMPARE(painted(icon, size, 2.0), twice);
        // What the screen shows: the picture for its density, pixel for pixel, in the room of
        // the tool bar's icon size.
        QVERIFY(showsUnscaled(argb(button->grab().toImage()), ratio > 1 ? twice : once));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
