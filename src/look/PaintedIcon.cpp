#include "look/PaintedIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

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

    // QIconEngine's own pixmap() paints over an uninitialised picture.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return picture;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return m_sizes; }

    QIconEngine* clone() const override { return new Engine(m_drawing, m_viewBox, m_sizes); }

    QString key() const override { return QStringLiteral("painted"); }

private:
    PaintedIcon::Drawing m_drawing;
    qreal m_viewBox;
    QList<QSize> m_sizes;
};

} // namespace

QIcon PaintedIcon::make(Drawing drawing, qreal viewBox, const QList<QSize>& sizes)
{
    return QIcon(new Engine(std::move(drawing), viewBox, sizes));
}
