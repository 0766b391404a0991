#include "focusmarkstyle.h"

#include <QPainter>
#include <QStyleOption>

namespace {

void drawFocusMark(const QStyleOption *option, QPainter *painter)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(option->palette.color(QPalette::ButtonText), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

} // namespace

FocusMarkStyle::FocusMarkStyle() = default;

void FocusMarkStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                   const QWidget *widget) const
{
    if (element == PE_FrameFocusRect)
        drawFocusMark(option, painter);
    else
        QProxyStyle::drawPrimitive(element, option, painter, widget);
}

// Some styles show a push button's focus only by a tint of its border; ours is the
// same rectangle as on the other controls.
void FocusMarkStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                 const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && (option->state & State_HasFocus)) {
        QStyleOption mark(*option);
        mark.rect = subElementRect(SE_PushButtonFocusRect, option, widget);
        drawFocusMark(&mark, painter);
    }
}
