#include "display/TBellPageWidget.h"

#include "display/TBellCard.h"

#include <QGuiApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWindow>

namespace tambrel {

namespace {

// Paints the finished picture; all drawing happens in the card.
class Canvas : public QWidget {
public:
    Canvas(const TBellCard& card, QWidget* parent) : QWidget(parent), m_card(card)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const QImage& bitmap = m_card.Picture().Bitmap();
        if (!bitmap.isNull()) {
            painter.drawImage(QPoint(0, 0), bitmap);
        }
    }

private:
    const TBellCard& m_card;
};

} // namespace

TBellPageWidget::TBellPageWidget(TBellCard& card, QWidget* parent)
    : QScrollArea(parent), m_card(card), m_canvas(new Canvas(card, this))
{
    setFrameShape(QFrame::NoFrame);
    setBackgroundRole(QPalette::Window);
    setWidget(m_canvas);
    setWidgetResizable(false);
    m_resizeTimer.setSingleShot(true);
    m_resizeTimer.setInterval(kResizeDelayMs);
    connect(&m_resizeTimer, &QTimer::timeout, this, &TBellPageWidget::Redraw);
    m_card.onRepaint = [this] { m_canvas->repaint(); };
}

void TBellPageWidget::Redraw()
{
    m_resizeTimer.stop();
    const qreal ratio = devicePixelRatioF();
    if (m_card.Picture().DevicePixelRatio() != ratio) {
        m_card.Picture() = PagePicture(ratio);
    }
    m_card.Client = viewport()->size();
    if (const QScreen* screen = this->screen()) {
        m_card.Screen = screen->size();
    }
    m_card.Show(m_card.View);
    PictureChanged();
    emit redrawn();
}

void TBellPageWidget::PictureChanged()
{
    m_canvas->resize(m_card.Picture().Size().expandedTo(QSize(1, 1)));
    m_canvas->update();
}

void TBellPageWidget::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    if (event->oldSize().width() != event->size().width() ||
        event->oldSize().height() != event->size().height()) {
        m_resizeTimer.start(); // redraw once the size has settled
    }
}

} // namespace tambrel
