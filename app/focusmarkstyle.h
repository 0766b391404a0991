#pragma once

#include <QProxyStyle>

// Draws a focus mark on buttons and check boxes whenever they have the focus, not
// only after the keyboard moved it: a solid rectangle in the button text colour, so
// it stands out clearly (well over 3:1) from the button face around it.
class FocusMarkStyle : public QProxyStyle
{
    Q_OBJECT

public:
    FocusMarkStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
};
