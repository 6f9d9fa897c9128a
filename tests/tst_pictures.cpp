#include "testenvironment.h"
#include "testframe.h"

#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>

#include <QPainter>
#include <QToolButton>
#include <QtTest>

#include <creplaybar.h>
#include <memory>

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
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    icon.paint(&painter, QRect(QPoint(), size));
    painter.end();
    return argb(image);
}

QSet<QRgb> opaqueColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255)
                colours << image.pixel(x, y);
        }
    }
    return colours;
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

    std::unique_ptr<TestConfigDir> m_dir;
    TestFrame* m_frame = nullptr; // deletes itself when closed
    CReplayBar* m_bar = nullptr; // owned by the frame

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("tst_pictures"));
        // Qt 5 hands out pixmaps of the screen's density only with this attribute; Qt 6 always.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
        for (const auto& [name, items] :
            { std::pair { "modi", QStringList { "STOP", "PLAY", "FPLAY" } },
                std::pair { "wrap", QStringList { "OFF", "ON" } },
                std::pair { "autoplay", QStringList { "OFF", "ON" } },
                std::pair { "peakhold", QStringList { "OFF", "ON" } },
                std::pair { "leveldetect", QStringList { "OFF", "ON" } } }) {
            auto* selection = new values::ValueSelection(QString::fromUtf8(name));
            for (int i = 0; i < items.size(); ++i)
                selection->AddItem(new values::SelectionItem(items[i], 0.0, i));
            QVERIFY(values::Tree::Instance()->AddValue(QStringLiteral("/Pictures"), selection));
        }

        m_dir = std::make_unique<TestConfigDir>();
        m_frame = new TestFrame;
        m_frame->initialize(false);
        m_bar = new CReplayBar(m_frame, "Replay", QStringLiteral("/Pictures"));
        m_bar->addDockWindow();
        m_bar->enable(true);
        m_frame->m_saveAsAction->setEnabled(true);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        // A tool button draws at its tool bar's icon size, more room than a picture needs: the
        // case where Qt would stretch a picture.
        QVERIFY(m_bar->iconSize().width() > 16);
        QVERIFY(m_frame->m_mainToolBar->iconSize().width() > 16);
        // A run meant for a dense screen must not pass on an ordinary one.
        QCOMPARE(m_frame->windowHandle()->devicePixelRatio(),
            qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    }
    void cleanupTestCase()
    {
        m_frame->close();
    }

    void picture_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("value"); // selected before the look is taken; empty for none
        QTest::addColumn<QString>("item");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("bar"); // inside of the framed bar: "green", "empty" or none
        const QSize square(16, 16);
        QTest::newRow("Open File") << "Open File"
                                   << "" << QString() << QSize(16, 13) << "";
        QTest::newRow("Save as file") << "Save as file"
                                      << "" << QString() << square << "";
        for (const char* push : { "Goto Begin", "Step Rewind", "Step Forward", "Goto End" })
            QTest::newRow(push) << push << "" << QString() << square << "empty";
        const QList<QVector<const char*>> oneOf = { { "Play", "/modi", "PLAY", "STOP" },
            { "Fast Play", "/modi", "FPLAY", "STOP" }, { "Stop", "/modi", "STOP", "PLAY" },
            { "Wrap to Begin", "/wrap", "ON", "OFF" }, { "Auto Play", "/autoplay", "ON", "OFF" },
            { "Peak Hold", "/peakhold", "ON", "OFF" },
            { "Level Detect", "/leveldetect", "ON", "OFF" } };
        for (const auto& row : oneOf) {
            QTest::addRow("%s selected", row[0]) << row[0] << row[1] << row[2] << square << "green";
            QTest::addRow("%s unselected", row[0])
                << row[0] << row[1] << row[3] << square << "empty";
        }
    }
    void picture()
    {
        QFETCH(QString, widget);
        QFETCH(QString, value);
        QFETCH(QString, item);
        QFETCH(QSize, size);
        QFETCH(QString, bar);
        if (!value.isEmpty())
            values::Tree::Instance()
                ->Find<values::ValueSelection>("/Pictures" + value)
                ->Select(item);
        QToolButton* button = m_bar->findChild<VCButton*>(widget);
        if (!button) {
            auto* action = m_frame->findChild<QAction*>(widget);
            QVERIFY(action);
            button = qobject_cast<QToolButton*>(m_frame->m_mainToolBar->widgetForAction(action));
        }
        QVERIFY(button);
        const QIcon icon = button->icon();
        QCOMPARE(icon.availableSizes(), QList<QSize>({ size, size * 2 }));

        // The application's ratio, which initTestCase found to be the window's (the spelling
        // with a window is deprecated in Qt 6).
        const qreal ratio = m_frame->windowHandle()->devicePixelRatio();
        const QPixmap shown = icon.pixmap(size);
        QCOMPARE(shown.size(), size * ratio);
        QCOMPARE(shown.devicePixelRatio(), ratio);
        QCOMPARE(icon.pixmap(size, QIcon::Disabled).size(), size * ratio);

        const QImage once = painted(icon, size, 1.0);
        const QImage twice = painted(icon, size, 2.0);
        QCOMPARE(argb(shown.toImage()), ratio > 1 ? twice : once);

        // Drawn, not enlarged, and from the same palette.
        QVERIFY(
            twice != argb(once.scaled(size * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
        QVERIFY(
            twice != argb(once.scaled(size * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        const QSet<QRgb> colours = opaqueColours(once);
        QVERIFY2(colours.contains(opaqueColours(twice)), "a colour the small picture lacks");
        if (!bar.isEmpty())
            QCOMPARE(twice.pixel(16, 27) == qRgb(0, 255, 0), bar == "green");

        // What the screen shows: the picture for its density, pixel for pixel, in the room of
        // the tool bar's icon size.
        QVERIFY(showsUnscaled(argb(button->grab().toImage()), ratio > 1 ? twice : once));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
