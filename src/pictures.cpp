#include "pictures_p.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

#include <cmath>

namespace {

// Qt's own pixmap engine would do for the density, but it picks by area alone: a tool bar that
// asks for 24x24 at 1x gets the 32x32 design shrunk to 24 instead of the 16x16 one, and at 2x
// the 32x32 design stretched to 48.
class PictureEngine : public QIconEngine
{
public:
    PictureEngine(const QPixmap& picture, const QPixmap& twice)
        : m_picture(picture)
        , m_twice(twice)
    { }

    QIconEngine* clone() const override { return new PictureEngine(*this); }
    QString key() const override { return QStringLiteral("TevPictures"); }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return fitted(m_picture.size(), size);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        return render(size, mode, 1.0);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal scale
            = painter->device() ? painter->device()->devicePixelRatioF() : qApp->devicePixelRatio();
        QPixmap shown = render(rect.size() * scale, mode, scale);
        shown.setDevicePixelRatio(scale);
        painter->drawPixmap(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                (QSizeF(shown.size()) / scale).toSize(), rect),
            shown);
    }

    // The size list, the null test and the picture for a dense screen: virtual functions in
    // Qt 6, hooks in Qt 5, with signatures that differ (const in Qt 5).
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return sizes();
    }
    bool isNull() override
    {
        return m_picture.isNull();
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        return padded(render(size, mode, scale), size, scale);
    }
#else
    void virtual_hook(int id, void* data) override
    {
        switch (id) {
        case AvailableSizesHook:
            static_cast<AvailableSizesArgument*>(data)->sizes = sizes();
            break;
        case IsNullHook:
            *static_cast<bool*>(data) = m_picture.isNull();
            break;
        case ScaledPixmapHook: {
            auto* arg = static_cast<ScaledPixmapArgument*>(data);
            arg->pixmap = padded(render(arg->size, arg->mode, arg->scale), arg->size, arg->scale);
            break;
        }
        default:
            QIconEngine::virtual_hook(id, data);
        }
    }
#endif

private:
    QList<QSize> sizes() const
    {
        return { m_picture.size(), m_twice.size() };
    }

    static QSize fitted(QSize size, const QSize& room)
    {
        if (size.width() > room.width() || size.height() > room.height())
            size.scale(room, Qt::KeepAspectRatio);
        return size;
    }

    // The picture for a screen of `scale` in device pixels, at most `room`: the design drawn for
    // that density when there is one; otherwise the denser design made smaller, so that a
    // picture is shrunk rather than blown up (at 150 %).
    QPixmap render(const QSize& room, QIcon::Mode mode, qreal scale) const
    {
        const bool useTwice = scale > 1.0 && !m_twice.isNull();
        const QPixmap& design = useTwice ? m_twice : m_picture;
        const qreal designScale = useTwice ? 2.0 : 1.0;
        const QSize wanted = fitted(
            (QSizeF(design.size()) * (scale / designScale)).toSize().expandedTo(QSize(1, 1)), room);
        if (wanted == design.size() && mode == QIcon::Normal)
            return design;

        const QString cacheKey = QStringLiteral("tev_picture_%1_%2_%3x%4_%5")
                                     .arg(design.cacheKey())
                                     .arg(int(mode))
                                     .arg(wanted.width())
                                     .arg(wanted.height())
                                     .arg(QGuiApplication::palette().cacheKey());
        QPixmap shown;
        if (QPixmapCache::find(cacheKey, &shown))
            return shown;
        shown = wanted == design.size()
            ? design
            : design.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // The disabled and selected looks come from the style, as for any other icon.
        if (mode != QIcon::Normal && qobject_cast<QApplication*>(QCoreApplication::instance())) {
            QStyleOption option;
            option.palette = QApplication::palette();
            const QPixmap generated
                = QApplication::style()->generatedIconPixmap(mode, shown, &option);
            if (!generated.isNull())
                shown = generated;
        }
        QPixmapCache::insert(cacheKey, shown);
        return shown;
    }

    // QIcon gives a pixmap the screen's ratio only when it is as wide or as high as the room
    // asked for; a smaller one would get a ratio in between and be stretched when drawn. So the
    // picture goes into a transparent pixmap of the whole room, centred on whole logical pixels
    // as a style centres it on an ordinary screen.
    static QPixmap padded(const QPixmap& shown, const QSize& room, qreal scale)
    {
        if (shown.isNull() || scale <= 1.0 || shown.width() >= room.width()
            || shown.height() >= room.height())
            return shown;
        QPixmap full(room);
        full.fill(Qt::transparent);
        const auto offset = [scale](int roomSide, int side) {
            return int(std::lround(std::floor((roomSide - side) / scale / 2.0) * scale));
        };
        QPainter painter(&full);
        painter.drawPixmap(
            offset(room.width(), shown.width()), offset(room.height(), shown.height()), shown);
        return full;
    }

    QPixmap m_picture;
    QPixmap m_twice;
};

} // namespace

namespace Pictures {

QIcon icon(const char* const* picture, const char* const* twice)
{
    return QIcon(new PictureEngine(QPixmap(picture), QPixmap(twice)));
}

} // namespace Pictures
