#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

// The window layouts are written in twips, 15 to a pixel at 96 dots per inch.
constexpr QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// "ＭＳ ゴシック", the layouts' font, at the given size.
QFont gothicFont(qreal points, bool bold);

// A label of the layouts: its own font and horizontal alignment, the caption drawn
// from the top of its box, and an opaque background when one is given (otherwise
// whatever is behind it shows through).
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
                  const QFont &font, Qt::Alignment alignment, const QColor &background = QColor());

// Sizes a secondary window's client area and centres it on the screen it opens on.
void centreOnScreen(QWidget *window, int clientWidth, int clientHeight);

// What every secondary window is: its name and title, the application icon, the
// documents' font names mapped, deleted when closed and closed by Escape, and a
// window with that title to assistive technology.
void setUpSecondaryWindow(QWidget *window, const QString &name, const QString &title);

// Escape closes the window, as it closes a dialog: the secondary windows are only read.
void closeOnEscape(QWidget *window);
