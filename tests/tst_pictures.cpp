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
        // Qt 5 hands out pixmaps of the screen's density only with this attribute.
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
        for (const char* name : { "modi", "wrap", "autoplay", "peakhold", "leveldetect" }) {
            auto* selection = new values::ValueSelection(QString::fromUtf8(name));
            for (const char* item : { "STOP", "PLAY", "FPLAY", "OFF", "ON" })
                selection->AddItem(new values::SelectionItem(QString::fromUtf8(item), 0.0, 0));
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
        QVERIFY(m_bar->iconSize().width() > 16 && m_frame->m_mainToolBar->iconSize().width() > 16);
        // A run meant for a dense screen must not pass on an ordinary one.
        QCOMPARE(m_frame->windowHandle()->devicePixelRatio(),
            qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    }
    void cleanupTestCase() { m_frame->close(); }

    void picture_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("value"); // selected before the look is taken; empty for none
        QTest::addColumn<QString>("item");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("green"); // inside of the framed bar green (1) or not (0); -1: none
        QTest::newRow("Open File") << "Open File" << QString() << QString() << QSize(16, 13) << -1;
        QTest::newRow("Save as file")
            << "Save as file" << QString() << QString() << QSize(16, 16) << -1;
        for (const char* push : { "Goto Begin", "Step Rewind", "Step Forward", "Goto End" })
            QTest::newRow(push) << push << QString() << QString() << QSize(16, 16) << 0;
        for (const QStringList& row : { QStringList { "Play", "modi", "PLAY", "STOP" },
                 { "Fast Play", "modi", "FPLAY", "STOP" }, { "Stop", "modi", "STOP", "PLAY" },
                 { "Wrap to Begin", "wrap", "ON", "OFF" }, { "Auto Play", "autoplay", "ON", "OFF" },
                 { "Peak Hold", "peakhold", "ON", "OFF" },
                 { "Level Detect", "leveldetect", "ON", "OFF" } }) {
            for (int selected : { 1, 0 }) {
                QTest::addRow("%s %s", qPrintable(row[0]), selected ? "selected" : "unselected")
                    << row[0] << row[1] << row[3 - selected] << QSize(16, 16) << selected;
            }
        }
    }
    void picture()
    {
        QFETCH(QString, widget);
        QFETCH(QString, value);
        QFETCH(QSize, size);
        QFETCH(int, green);
        if (!value.isEmpty()) {
            QFETCH(QString, item);
            values::Tree::Instance()
                ->Find<values::ValueSelection>("/Pictures/" + value)
                ->Select(item);
        }
        QToolButton* button = m_bar->findChild<VCButton*>(widget);
        if (!button) {
            button = qobject_cast<QToolButton*>(
                m_frame->m_mainToolBar->widgetForAction(m_frame->findChild<QAction*>(widget)));
        }
        QVERIFY(button);
        const QIcon icon = button->icon();
        QCOMPARE(icon.availableSizes(), QList<QSize>({ size, size * 2 }));

        QWindow* window = m_frame->windowHandle();
        const qreal ratio = window->devicePixelRatio();
        const QPixmap shown = icon.pixmap(window, size);
        QCOMPARE(shown.size(), size * ratio);
        QCOMPARE(shown.devicePixelRatio(), ratio);
        QCOMPARE(icon.pixmap(window, size, QIcon::Disabled).size(), size * ratio);

        // The picture of each size: as an ordinary screen gets it, and as the icon paints it
        // where the device has twice the pixels.
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, false);
        const QImage once = argb(icon.pixmap(window, size).toImage());
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
        QCOMPARE(once.size(), size);
        QImage painted(size * 2, QImage::Format_ARGB32_Premultiplied);
        painted.fill(Qt::transparent);
        painted.setDevicePixelRatio(2.0);
        QPainter painter(&painted);
        icon.paint(&painter, QRect(QPoint(), size));
        painter.end();
        const QImage twice = argb(painted);
        QCOMPARE(argb(shown.toImage()), ratio > 1 ? twice : once);

        // Drawn, not enlarged.
        for (auto mode : { Qt::FastTransformation, Qt::SmoothTransformation })
            QVERIFY(twice != argb(once.scaled(size * 2, Qt::IgnoreAspectRatio, mode)));
        if (green >= 0) {
            QCOMPARE(twice.pixel(16, 27) == qRgb(0, 255, 0), bool(green));
            QCOMPARE(once.pixel(8, 13) == qRgb(0, 255, 0), bool(green));
        }
        // What the screen shows: the picture for its density, pixel for pixel, in the room of
        // the tool bar's icon size.
        QVERIFY(showsUnscaled(argb(button->grab().toImage()), ratio > 1 ? twice : once));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
