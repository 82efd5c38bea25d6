#include "look/PaintedIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <map>
#include <tuple>

namespace {

class Engine : public QIconEngine
{
public:
    Engine(PaintedIcon::Drawing drawing, qreal viewBox, const QList<QSize>& sizes)
        : m_drawing(std::move(drawing)), m_viewBox(viewBox), m_sizes(sizes)
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / m_viewBox, rect.height() / m_viewBox);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.5);
        m_drawing(*painter);
        painter->restore();
    }

    // QIconEngine's own pixmap() paints over an uninitialised picture. A picture once drawn is kept: the window
    // system asks for every size of the window's icon more than once as the window is made.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        const auto key = std::make_tuple(size.width(), size.height(), mode, state);
        if (const auto kept = m_pictures.find(key); kept != m_pictures.end())
            return kept->second;
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        {
            QPainter painter(&picture);
            paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        }
        m_pictures.emplace(key, picture);
        return picture;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return m_sizes; }

    QIconEngine* clone() const override { return new Engine(m_drawing, m_viewBox, m_sizes); }

    QString key() const override { return QStringLiteral("painted"); }

private:
    PaintedIcon::Drawing m_drawing;
    qreal m_viewBox;
    QList<QSize> m_sizes;
    std::map<std::tuple<int, int, QIcon::Mode, QIcon::State>, QPixmap> m_pictures;
};

} // namespace

QIcon PaintedIcon::make(Drawing drawing, qreal viewBox, const QList<QSize>& sizes)
{
    return QIcon(new Engine(std::move(drawing), viewBox, sizes));
}
