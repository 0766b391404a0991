#include "helpwindow.h"

#include "richtextview.h"
#include "windowlayout.h"

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setUpSecondaryWindow(this, QStringLiteral("frmヘルプ"), QStringLiteral("バージョン情報"));
    setFont(gothicFont(9, false));

    // The viewer overhangs the client area slightly, as laid out.
    m_helpView = new RichTextView(this);
    m_helpView->setObjectName(QStringLiteral("RichTextBox1"));
    m_helpView->setAccessibleName(QStringLiteral("ヘルプ"));
    m_helpView->setGeometry(twips(0, 0, 11895, 8655));
    // The document is longer than the window; see the exam window's booklet.
    m_helpView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const QString document = QStringLiteral(":/documents/help.rtf");
    m_helpView->loadRtfFile(document);

    setFocusProxy(m_helpView);
    m_helpView->setFocus();
    centreOnScreen(this, 792, 573);
}
