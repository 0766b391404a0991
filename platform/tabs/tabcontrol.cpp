#include "tabcontrol.h"

#include "tabaccessible.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <qdrawutil.h>

#include <algorithm>

namespace {

// Unselected tabs sit this much lower than the chosen one, which also reaches this
// far over its neighbours, so the chosen tab stands out as raised.
constexpr int tabRaise = 2;
// Room between a caption and the sides of its tab.
constexpr int captionMargin = 3;
// The raised border around the page area.
constexpr int frameWidth = 2;

} // namespace

TabControl::TabControl(int tabsPerRow, qreal rowHeight, QWidget *parent)
    : QWidget(parent)
    , m_tabsPerRow(std::max(1, tabsPerRow))
    , m_rowHeight(std::max<qreal>(1, rowHeight))
{
    installTabControlAccessibility();

    setFocusPolicy(Qt::StrongFocus);

    // Shortcuts rather than keyPressEvent, so the keys work while a control on a page
    // has focus and no focus-chain handling gets to them first.
    auto *next = new QShortcut(this);
    next->setKeys({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    next->setContext(Qt::WidgetWithChildrenShortcut);
    connect(next, &QShortcut::activated, this, [this] { stepPage(1); });

    auto *previous = new QShortcut(this);
    previous->setKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                       QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    previous->setContext(Qt::WidgetWithChildrenShortcut);
    connect(previous, &QShortcut::activated, this, [this] { stepPage(-1); });
}

TabGeometry TabControl::layoutTabs(int width, int count, int tabsPerRow, qreal rowHeight)
{
    TabGeometry geometry;
    if (tabsPerRow < 1 || count < 0)
        return geometry;
    geometry.rows = (count + tabsPerRow - 1) / tabsPerRow;
    geometry.stripHeight = qRound(geometry.rows * rowHeight);
    const qreal columnWidth = qreal(std::max(0, width)) / tabsPerRow;
    geometry.tabs.reserve(count);
    for (int index = 0; index < count; ++index) {
        const int row = index / tabsPerRow;
        const int column = index % tabsPerRow;
        const int left = qRound(column * columnWidth);
        const int right = qRound((column + 1) * columnWidth);
        const int top = qRound(row * rowHeight);
        const int bottom = qRound((row + 1) * rowHeight);
        geometry.tabs.append(QRect(left, top, right - left, bottom - top));
    }
    return geometry;
}

int TabControl::addPage(const QString &caption)
{
    auto *page = new QWidget(this);
    page->setObjectName(caption);
    page->setAccessibleName(caption);
    m_tabs.append({caption, QString(), page});
    const int index = int(m_tabs.size()) - 1;

    placePages();
    if (m_current < 0)
        m_current = index;
    page->setVisible(index == m_current);

    updateGeometry();
    update();
    return index;
}

int TabControl::count() const
{
    return int(m_tabs.size());
}

QWidget *TabControl::page(int index) const
{
    return index >= 0 && index < count() ? m_tabs.at(index).page : nullptr;
}

QString TabControl::tabText(int index) const
{
    return index >= 0 && index < count() ? m_tabs.at(index).caption : QString();
}

void TabControl::setTabDescription(int index, const QString &description)
{
    if (index < 0 || index >= count() || m_tabs.at(index).description == description)
        return;
    m_tabs[index].description = description;
    notifyDescriptionChanged(index);
}

QString TabControl::tabDescription(int index) const
{
    return index >= 0 && index < count() ? m_tabs.at(index).description : QString();
}

int TabControl::currentIndex() const
{
    return m_current;
}

void TabControl::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == m_current)
        return;

    QWidget *oldPage = page(m_current);
    QWidget *newPage = page(index);
    QWidget *focus = QApplication::focusWidget();
    const bool focusOnOldPage = focus && oldPage && oldPage->isAncestorOf(focus);

    m_current = index;
    newPage->show();
    // Hiding a page that holds the focus would send it somewhere arbitrary: move it
    // to the same place on the new page, or to the tabs if the page has no controls.
    if (focusOnOldPage) {
        QWidget *target = firstFocusableOn(newPage);
        (target ? target : this)->setFocus(Qt::TabFocusReason);
    }
    if (oldPage)
        oldPage->hide();

    update();
    notifyAccessibility(index);
    emit currentChanged(index);
}

QRect TabControl::tabRect(int index) const
{
    return currentGeometry().tabs.value(index);
}

int TabControl::rowCount() const
{
    return currentGeometry().rows;
}

int TabControl::tabAt(const QPoint &pos) const
{
    const TabGeometry geometry = currentGeometry();
    for (int index = 0; index < geometry.tabs.size(); ++index) {
        if (geometry.tabs.at(index).contains(pos))
            return index;
    }
    return -1;
}

void TabControl::setPageColor(const QColor &color)
{
    m_pageColor = color;
    update();
}

QColor TabControl::pageColor() const
{
    return m_pageColor.isValid() ? m_pageColor : palette().color(QPalette::Button);
}

QSize TabControl::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const Tab &tab : m_tabs)
        widest = std::max(widest, metrics.horizontalAdvance(tab.caption));
    const int tabWidth = widest + 2 * (captionMargin + tabRaise) + 4;
    const int width = tabWidth * m_tabsPerRow;
    const int strip = layoutTabs(width, count(), m_tabsPerRow, m_rowHeight).stripHeight;
    return QSize(width, strip + 2 * frameWidth + 6 * metrics.height());
}

QSize TabControl::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const int tabWidth = metrics.horizontalAdvance(QStringLiteral("…")) + 2 * (captionMargin + tabRaise);
    const int width = tabWidth * m_tabsPerRow;
    const int strip = layoutTabs(width, count(), m_tabsPerRow, m_rowHeight).stripHeight;
    return QSize(width, strip + 2 * frameWidth);
}

void TabControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const TabGeometry geometry = currentGeometry();

    const QBrush pageBrush(pageColor());
    const QRect pageArea(0, geometry.stripHeight, width(), height() - geometry.stripHeight);
    if (pageArea.height() > 0)
        qDrawWinPanel(&painter, pageArea, palette(), false, &pageBrush);

    // The chosen tab last, since it reaches over its neighbours.
    for (int index = 0; index < count(); ++index) {
        if (index != m_current)
            paintTab(painter, geometry, index);
    }
    if (m_current >= 0)
        paintTab(painter, geometry, m_current);
}

// Classic raised tabs: light top and left edges with cut corners, shadowed right edge,
// open at the bottom. Tabs above the last row reach down to the top edge of the tab in
// front of them; the chosen tab of the last row runs into its page with no line between.
void TabControl::paintTab(QPainter &painter, const TabGeometry &geometry, int index) const
{
    const QRect cell = geometry.tabs.at(index);
    const bool current = index == m_current;
    const bool lastRow = index / m_tabsPerRow == geometry.rows - 1;

    int left = cell.left();
    int right = cell.right();
    int top = cell.top() + tabRaise;
    int bottom = lastRow ? cell.bottom() : cell.bottom() + tabRaise;
    if (current) {
        left = std::max(0, left - tabRaise);
        right = std::min(width() - 1, right + tabRaise);
        top = cell.top();
        if (lastRow)
            bottom = std::min(height() - 1, geometry.stripHeight + frameWidth - 1);
    }
    if (right - left < 4 || bottom - top < 3)
        return;

    const QPalette &pal = palette();
    painter.fillRect(QRect(QPoint(left + 1, top + 1), QPoint(right - 1, bottom)), pageColor());

    painter.setPen(pal.color(QPalette::Light));
    painter.drawLine(left, top + 2, left, bottom);
    painter.drawPoint(left + 1, top + 1);
    painter.drawLine(left + 2, top, right - 2, top);
    painter.setPen(pal.color(QPalette::Midlight));
    painter.drawLine(left + 1, top + 2, left + 1, bottom);
    painter.drawLine(left + 2, top + 1, right - 2, top + 1);
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawLine(right - 1, top + 2, right - 1, bottom);
    painter.setPen(pal.color(QPalette::Shadow));
    painter.drawPoint(right - 1, top + 1);
    painter.drawLine(right, top + 2, right, bottom);

    // The caption is centred in the tab's own row, the chosen one a pixel higher.
    const int captionTop = cell.top() + tabRaise + (current ? 0 : 1);
    const QRect captionArea(QPoint(left + captionMargin, captionTop),
                            QPoint(right - captionMargin, captionTop + cell.height() - tabRaise - 1));
    const QString caption = fontMetrics().elidedText(m_tabs.at(index).caption,
                                                     Qt::ElideRight, captionArea.width());
    painter.setPen(pal.color(QPalette::WindowText));
    painter.drawText(captionArea, Qt::AlignCenter | Qt::TextSingleLine, caption);

    // A focus rectangle of our own, solid in the caption's colour so it stands out
    // from the tab (well over 3:1): some styles draw theirs only after keyboard use,
    // but a click on a tab should show just as clearly where the keys will act.
    if (current && hasFocus()) {
        painter.setPen(QPen(pal.color(QPalette::WindowText), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(QPoint(left + captionMargin, top + 2), QPoint(right - captionMargin - 1, cell.bottom())));
    }
}

void TabControl::resizeEvent(QResizeEvent *event)
{
    placePages();
    QWidget::resizeEvent(event);
}

void TabControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int index = tabAt(event->position().toPoint());
    if (index >= 0)
        setCurrentIndex(index);
    event->accept();
}

void TabControl::keyPressEvent(QKeyEvent *event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || m_current < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        target = m_current - 1;
        break;
    case Qt::Key_Right:
        target = m_current + 1;
        break;
    case Qt::Key_Up:
        target = m_current - m_tabsPerRow;
        break;
    case Qt::Key_Down:
        target = m_current + m_tabsPerRow;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count() - 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    // At the ends of the strip the arrows stay put rather than wrap.
    if (target >= 0 && target < count())
        setCurrentIndex(target);
    event->accept();
}

void TabControl::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
    notifyAccessibility(m_current);
}

void TabControl::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void TabControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

TabGeometry TabControl::currentGeometry() const
{
    return layoutTabs(width(), count(), m_tabsPerRow, m_rowHeight);
}

// Every page covers the whole control but is masked to the area below the tabs, so
// its controls keep the control's coordinates while clicks on the tabs reach us.
void TabControl::placePages()
{
    const int strip = currentGeometry().stripHeight;
    const QRegion pageArea(0, strip, width(), std::max(0, height() - strip));
    for (const Tab &tab : std::as_const(m_tabs)) {
        tab.page->setGeometry(rect());
        // An empty mask would mean "no mask"; keep one pixel row off-screen instead.
        tab.page->setMask(pageArea.isEmpty() ? QRegion(0, height(), 1, 1) : pageArea);
    }
}

void TabControl::stepPage(int step)
{
    if (count() == 0)
        return;
    setCurrentIndex(((m_current + step) % count() + count()) % count());
}

QWidget *TabControl::firstFocusableOn(QWidget *page) const
{
    // Follow the window's tab order, which need not match the order of creation.
    for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled()
            && w->isVisibleTo(page))
            return w;
    }
    return nullptr;
}
