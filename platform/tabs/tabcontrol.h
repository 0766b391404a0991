#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QWidget>

class QPainter;

// Where the tabs of a TabControl go for a given width. Computed in one place so that
// painting, hit-testing, tabRect() and the size hints never disagree.
struct TabGeometry
{
    QList<QRect> tabs; // one per tab, in the control's coordinates
    int rows = 0;
    int stripHeight = 0; // the page area starts at this y
};

// A tab control with several fixed rows of tabs along its top edge. Every tab of a
// row has the same width (the control's width divided by the tabs per row), and
// rows never change places when a tab is chosen. Each page is a child widget that
// covers the whole control, so controls placed on it are positioned relative to the
// tab control's top-left corner, as the window layouts give them; it is shown only
// while its tab is current.
//
// Accessibility (tabaccessible.cpp): the control reports its tabs as children of role
// PageTab named by their captions and described by setTabDescription(). Check boxes
// on the pages are named by the window that builds them ("<tab caption> <box caption>").
class TabControl : public QWidget
{
    Q_OBJECT

public:
    // rowHeight: height of one row of tabs in device-independent pixels.
    TabControl(int tabsPerRow, qreal rowHeight, QWidget *parent = nullptr);

    // Row r holds tabs r*tabsPerRow .. r*tabsPerRow + tabsPerRow - 1, row 0 at the top.
    // Row edges fall on rounded multiples of rowHeight and column edges on rounded
    // multiples of width / tabsPerRow, so the last tab of a row ends at the right edge.
    static TabGeometry layoutTabs(int width, int count, int tabsPerRow, qreal rowHeight);

    int addPage(const QString &caption);
    int count() const;
    QWidget *page(int index) const;
    QString tabText(int index) const;
    // What assistive technology says about a tab besides its caption.
    void setTabDescription(int index, const QString &description);
    QString tabDescription(int index) const;

    int currentIndex() const;
    void setCurrentIndex(int index);

    // Where tab index is drawn, in the control's coordinates.
    QRect tabRect(int index) const;
    int rowCount() const;
    // The tab under pos, or -1.
    int tabAt(const QPoint &pos) const;

    void setPageColor(const QColor &color);
    QColor pageColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Tab
    {
        QString caption;
        QString description;
        QWidget *page = nullptr;
    };

    TabGeometry currentGeometry() const;
    void placePages();
    void paintTab(QPainter &painter, const TabGeometry &geometry, int index) const;
    void stepPage(int step);
    QWidget *firstFocusableOn(QWidget *page) const;
    void notifyAccessibility(int index);
    void notifyDescriptionChanged(int index);

    QList<Tab> m_tabs;
    int m_tabsPerRow = 1;
    qreal m_rowHeight = 0;
    int m_current = -1;
    QColor m_pageColor;

    Q_DISABLE_COPY(TabControl)
};
