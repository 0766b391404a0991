#include "windowlayout.h"

#include "appicon.h"
#include "fontmap.h"
#include "windowaccessible.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QStyle>

QFont gothicFont(qreal points, bool bold)
{
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
                  const QFont &font, Qt::Alignment alignment, const QColor &background)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignTop);
    if (background.isValid()) {
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

void centreOnScreen(QWidget *window, int clientWidth, int clientHeight)
{
    window->resize(clientWidth, clientHeight);
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Creating the native window lets the platform say how wide the frame is;
    // move() places the frame, so it is the frame that gets centred.
    window->winId();
    const QRect frame = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->frameGeometry().size(),
                                            screen->availableGeometry());
    window->move(frame.topLeft());
}

void closeOnEscape(QWidget *window)
{
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

void setUpSecondaryWindow(QWidget *window, const QString &name, const QString &title)
{
    fonts::installSubstitutions();
    installWindowAccessibility();
    window->setObjectName(name);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(title);
    window->setWindowIcon(applicationIcon());
    closeOnEscape(window);
}
