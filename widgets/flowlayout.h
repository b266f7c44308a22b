#pragma once

#include <QLayout>
#include <QList>
#include <QStyle>

// Lays its items out left to right and wraps onto new lines, like words of a text. An item whose
// widget expands horizontally (Expanding, MinimumExpanding or Ignored) takes the rest of its line.
// A negative spacing asks the parent widget's style for its layout spacing.
class FlowLayout : public QLayout
{
public:
    explicit FlowLayout(QWidget* parent = nullptr, int horizontalSpacing = -1, int verticalSpacing = -1);
    ~FlowLayout() override;

    int horizontalSpacing() const;
    int verticalSpacing() const;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in rect (or only measures, when apply is false); returns the height used.
    int doLayout(const QRect& rect, bool apply) const;
    int smartSpacing(QStyle::PixelMetric metric) const;

    QList<QLayoutItem*> m_items;
    int m_horizontalSpacing;
    int m_verticalSpacing;
};
