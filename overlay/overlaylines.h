#pragma once

#include <QPixmap>
#include <QWidget>

// Paints the controller picture behind the pastilles and repaints when a watched child moves.
class OverlayLines : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QPixmap backgroundPixmap READ backgroundPixmap WRITE setBackgroundPixmap NOTIFY
                   backgroundPixmapChanged)
    Q_PROPERTY(BackgroundScaleMode backgroundScaleMode READ backgroundScaleMode WRITE setBackgroundScaleMode
                   NOTIFY backgroundScaleModeChanged)

public:
    enum BackgroundScaleMode
    {
        Stretch = 0,
        Contain = 1,
        Cover = 2,
        Center = 3
    };
    Q_ENUM(BackgroundScaleMode)

    explicit OverlayLines(QWidget* parent = nullptr);

    QPixmap backgroundPixmap() const { return m_backgroundPixmap; }
    void setBackgroundPixmap(const QPixmap& pixmap);
    BackgroundScaleMode backgroundScaleMode() const { return m_scaleMode; }
    void setBackgroundScaleMode(BackgroundScaleMode mode);

    // Where the picture is painted for the current size and mode (the whole widget without one).
    QRect backgroundRect() const;
    // The picture's size in device-independent pixels (empty without a picture).
    QSize backgroundPictureSize() const;

signals:
    void backgroundPixmapChanged();
    void backgroundScaleModeChanged();

protected:
    // Repaint whenever this child moves, resizes, shows or hides.
    void watchChild(QWidget* child);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_backgroundPixmap;
    BackgroundScaleMode m_scaleMode = Contain;
};
