#pragma once

#include <QScrollArea>
#include <QTimer>

namespace tambrel {

class TBellCard;

// A method page on screen: the page picture inside a scroll box. The picture is drawn in
// logical pixels at the screen's device pixel ratio; after the window has been resized (and
// has stopped changing for a moment) the view is drawn again for the new size.
class TBellPageWidget : public QScrollArea {
    Q_OBJECT
public:
    explicit TBellPageWidget(TBellCard& card, QWidget* parent = nullptr);

    // Draws the card's current view for the scroll box as it is now.
    void Redraw();
    // The picture was drawn elsewhere (or cleared): show it as it stands.
    void PictureChanged();

    static constexpr int kResizeDelayMs = 150;

signals:
    void redrawn();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TBellCard& m_card;
    QWidget* m_canvas;
    QTimer m_resizeTimer;
};

} // namespace tambrel
