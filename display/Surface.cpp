#include "display/Surface.h"

#include <QPagedPaintDevice>
#include <QPaintEngine>

#include <algorithm>
#include <cmath>

namespace tambrel {

void PagePicture::SetSize(QSize size)
{
    m_size = size.expandedTo(QSize(0, 0));
    const QSize logical =
        m_bitmap.isNull() ? QSize(0, 0) : m_bitmap.deviceIndependentSize().toSize();
    if (logical.width() >= m_size.width() && logical.height() >= m_size.height() &&
        !m_bitmap.isNull()) {
        return;
    }
    const QSize grown = logical.expandedTo(m_size).expandedTo(QSize(1, 1));
    QImage bigger(QSize(static_cast<int>(std::ceil(grown.width() * m_ratio)),
                        static_cast<int>(std::ceil(grown.height() * m_ratio))),
                  QImage::Format_RGB32);
    bigger.setDevicePixelRatio(m_ratio);
    bigger.fill(Qt::white);
    if (!m_bitmap.isNull()) {
        QPainter copy(&bigger);
        copy.drawImage(QPoint(0, 0), m_bitmap);
    }
    m_bitmap = std::move(bigger);
}

void PagePicture::Clear()
{
    if (!m_bitmap.isNull()) {
        m_bitmap.fill(Qt::white);
    }
}

QImage PagePicture::Used() const
{
    if (m_bitmap.isNull() || m_size.isEmpty()) {
        return {};
    }
    QImage used =
        m_bitmap.copy(QRect(QPoint(0, 0), QSize(static_cast<int>(m_size.width() * m_ratio),
                                                static_cast<int>(m_size.height() * m_ratio))));
    used.setDevicePixelRatio(m_ratio);
    return used;
}

PictureSurface::PictureSurface(PagePicture& picture, QSize client, QSize screen)
    : m_picture(picture), m_client(client), m_screen(screen)
{
    m_picture.Clear(); // nothing of an earlier drawing may show beyond the new one
    Begin();
}

PictureSurface::~PictureSurface()
{
    if (m_painter.isActive()) {
        m_painter.end();
    }
}

void PictureSurface::Begin()
{
    if (m_picture.Bitmap().isNull()) {
        m_picture.SetSize(m_picture.Size().expandedTo(QSize(1, 1)));
    }
    m_painter.begin(&m_picture.Bitmap());
}

void PictureSurface::SetSize(QSize size)
{
    const QImage& before = m_picture.Bitmap();
    const QSize logical = before.deviceIndependentSize().toSize();
    if (logical.width() >= size.width() && logical.height() >= size.height()) {
        m_picture.SetSize(size);
        return;
    }
    // The bitmap is replaced by a bigger one: carry the painter's state across.
    const QFont font = m_painter.font();
    const QPen pen = m_painter.pen();
    const QBrush brush = m_painter.brush();
    m_painter.end();
    m_picture.SetSize(size);
    Begin();
    m_painter.setFont(font);
    m_painter.setPen(pen);
    m_painter.setBrush(brush);
}

PrinterSurface::PrinterSurface(QPagedPaintDevice& device, QPainter& painter)
    : m_device(device), m_painter(painter)
{
    // A printer's engine keeps its pen, brush and font from its last job, while a new painter
    // starts at the defaults and tells the engine only what it changes: a sheet that draws in
    // the default black came out in the colour the diagram last drew with. Telling the engine
    // everything makes every print start from the same state.
    if (QPaintEngine* engine = m_painter.paintEngine()) {
        engine->setDirty(QPaintEngine::AllDirty);
    }
}

QSize PrinterSurface::Size() const
{
    return QSize(m_device.width(), m_device.height());
}

bool PrinterSurface::NewPage()
{
    return m_device.newPage();
}

} // namespace tambrel
