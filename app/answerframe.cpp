#include "answerframe.h"

#include <QPainter>
#include <qdrawutil.h>

namespace {

// Where the caption starts, and the gap it cuts into the border on each side.
constexpr int captionLeft = 8;
constexpr int captionGap = 2;

} // namespace

AnswerFrame::AnswerFrame(const QString &caption, QWidget *parent)
    : QGroupBox(caption, parent)
{
    QPalette standard = palette();
    standard.setColor(QPalette::Window, standard.color(QPalette::Button));
    standard.setColor(QPalette::WindowText, standard.color(QPalette::ButtonText));
    setPalette(standard);
    setAutoFillBackground(true);
}

void AnswerFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    // The border line runs through the middle of the caption.
    const int line = metrics.height() / 2;
    qDrawShadeRect(&painter, QRect(0, line, width(), height() - line), palette(), true, 1, 0);

    const QRect caption(captionLeft, 0, metrics.horizontalAdvance(title()) + 2 * captionGap, metrics.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, title());
}
