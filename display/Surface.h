#pragma once

#include <QImage>
#include <QPainter>
#include <QSize>

#include <functional>
#include <memory>

class QPagedPaintDevice;

namespace tambrel {

// Where a view renders: the page picture ("DRAW") or the printer ("PRINT").
enum class RenderMode { Draw, Print };

// The page picture: a bitmap and the size of the picture control over it. The control may be
// smaller than the bitmap (after a drawing the control is cut to the used extent while the
// bitmap keeps its size); the clipboard takes only the control's part. Geometry is in logical
// pixels; on a high-DPI screen the bitmap holds devicePixelRatio pixels for each.
class PagePicture {
public:
    explicit PagePicture(qreal devicePixelRatio = 1.0) : m_ratio(devicePixelRatio) {}

    QSize Size() const { return m_size; }
    // Sets the control's size; the bitmap grows to hold it, new parts white, and never shrinks.
    void SetSize(QSize size);
    void Clear(); // white over the whole bitmap
    const QImage& Bitmap() const { return m_bitmap; }
    QImage& Bitmap() { return m_bitmap; }
    // The bitmap cut to the control's size: what the clipboard receives.
    QImage Used() const;
    qreal DevicePixelRatio() const { return m_ratio; }

private:
    qreal m_ratio;
    QSize m_size;
    QImage m_bitmap;
};

// What a rendering draws on, in device pixels of the target: the page picture, which grows
// while the drawing goes on, or printer pages, which end and begin.
class Surface {
public:
    virtual ~Surface() = default;
    virtual RenderMode Mode() const = 0;
    virtual QPainter& Painter() = 0;
    // The picture control's size, or the printer page's.
    virtual QSize Size() const = 0;
    // Picture only: a new control size (the painter keeps working). Printers ignore it.
    virtual void SetSize(QSize) {}
    // Printer only: ends the page and starts the next; false on the picture or a failure.
    virtual bool NewPage() { return false; }
    // Shows what is drawn so far (a repaint of the picture on screen).
    virtual void Repaint() {}

    // The screen and the scroll box the picture sits in; printers report their page.
    virtual QSize Screen() const { return Size(); }
    virtual QSize Client() const { return Size(); }

    // Whether glyphs placed one by one (a glyph run) come out as text would: true for the
    // bitmap picture; a vector file needs the characters themselves.
    virtual bool DrawsGlyphRuns() const { return false; }
};

// The page picture inside its scroll box.
class PictureSurface : public Surface {
public:
    PictureSurface(PagePicture& picture, QSize client, QSize screen);
    ~PictureSurface() override;

    RenderMode Mode() const override { return RenderMode::Draw; }
    QPainter& Painter() override { return m_painter; }
    QSize Size() const override { return m_picture.Size(); }
    void SetSize(QSize size) override;
    QSize Screen() const override { return m_screen; }
    QSize Client() const override { return m_client; }
    bool DrawsGlyphRuns() const override { return true; }

    // Called after each column so a window can show the picture as it grows.
    std::function<void()> onRepaint;
    void Repaint() override
    {
        if (onRepaint) {
            onRepaint();
        }
    }

private:
    void Begin();
    PagePicture& m_picture;
    QSize m_client;
    QSize m_screen;
    QPainter m_painter;
};

// A picture painted on a device that keeps every stroke (an SVG file): the same growing
// control size as the page picture, with no bitmap behind it.
class VectorSurface : public Surface {
public:
    VectorSurface(QPainter& painter, QSize client, QSize screen)
        : m_painter(painter), m_client(client), m_screen(screen)
    {
    }
    RenderMode Mode() const override { return RenderMode::Draw; }
    QPainter& Painter() override { return m_painter; }
    QSize Size() const override { return m_size; }
    void SetSize(QSize size) override { m_size = size; }
    QSize Screen() const override { return m_screen; }
    QSize Client() const override { return m_client; }

private:
    QPainter& m_painter;
    QSize m_client;
    QSize m_screen;
    QSize m_size;
};

// Printer pages (a QPrinter or a QPdfWriter), drawn unscaled in the device's own pixels.
class PrinterSurface : public Surface {
public:
    // The painter must already be active on `device`.
    PrinterSurface(QPagedPaintDevice& device, QPainter& painter);

    RenderMode Mode() const override { return RenderMode::Print; }
    QPainter& Painter() override { return m_painter; }
    QSize Size() const override;
    bool NewPage() override;

private:
    QPagedPaintDevice& m_device;
    QPainter& m_painter;
};

} // namespace tambrel
