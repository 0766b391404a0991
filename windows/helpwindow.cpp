#include "helpwindow.h"

#include "appicon.h"
#include "fontmap.h"
#include "richtextview.h"
#include "windowlayout.h"

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    fonts::installSubstitutions();
    setObjectName(QStringLiteral("frmヘルプ"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("バージョン情報"));
    setWindowIcon(applicationIcon());
    setFont(gothicFont(9, false));

    // The viewer overhangs the client area slightly, as laid out.
    m_RichTextBox1 = new RichTextView(this);
    m_RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    m_RichTextBox1->setGeometry(twips(0, 0, 11895, 8655));
    // The document is longer than the window; see the exam window's booklet.
    m_RichTextBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const QString document = QStringLiteral(":/documents/help.rtf");
    rtf::warnAboutFaults(document, m_RichTextBox1->loadRtfFile(document));

    closeOnEscape(this);
    setFocusProxy(m_RichTextBox1);
    m_RichTextBox1->setFocus();
    centreOnScreen(this, 792, 573);
}
