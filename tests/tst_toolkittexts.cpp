// The toolkit's own texts, read from its widgets, are Japanese under any locale:
// CTest runs this under LANG=C and under LANG=ja_JP.UTF-8.
#include "examapplication.h"
#include "richtextview.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QtTest>
#include <memory>

namespace {

// Every text the dialog's buttons, labels and group boxes show.
QStringList shownTexts(const QWidget *dialog)
{
    QStringList texts;
    for (const auto *button : dialog->findChildren<QAbstractButton *>())
        texts << button->text();
    for (const auto *label : dialog->findChildren<QLabel *>())
        texts << label->text();
    for (const auto *box : dialog->findChildren<QGroupBox *>())
        texts << box->title();
    return texts;
}

} // namespace

class ToolkitTextsTest : public QObject
{
    Q_OBJECT

private slots:
    void printDialog_data();
    void printDialog();
    void documentContextMenu_data();
    void documentContextMenu();
};

void ToolkitTextsTest::printDialog_data()
{
    QTest::addColumn<bool>("pageSetUp");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("japanese");
    QTest::newRow("printer group") << false << "Printer" << "プリンタ";
    QTest::newRow("name label") << false << "&Name:" << "名前(&N):";
    QTest::newRow("properties button") << false << "P&roperties" << "プロパティ(&R)";
    QTest::newRow("options button") << false << "&Options >>" << "オプション(&O) >>";
    QTest::newRow("print button") << false << "&Print" << "印刷(&P)";
    QTest::newRow("cancel button") << false << "Cancel" << "キャンセル";
    QTest::newRow("page range") << false << "Pages" << "ページ指定";
    QTest::newRow("duplex group") << false << "Double Sided Printing" << "両面印刷";
    QTest::newRow("duplex long side") << false << "Long side binding" << "長辺とじ";
    QTest::newRow("page set-up: size") << true << "Page size:" << "用紙サイズ:";
    QTest::newRow("page set-up: cancel button") << true << "Cancel" << "キャンセル";
}

void ToolkitTextsTest::printDialog()
{
    QFETCH(bool, pageSetUp);
    QFETCH(QString, english);
    QFETCH(QString, japanese);
    QPrinter printer(QPrinter::HighResolution);
    std::unique_ptr<QDialog> dialog;
    if (pageSetUp)
        dialog = std::make_unique<QPageSetupDialog>(&printer);
    else
        dialog = std::make_unique<QPrintDialog>(&printer);
    dialog->show();
    const QStringList texts = shownTexts(dialog.get());
    QVERIFY2(!texts.contains(english), qPrintable(texts.join(QLatin1Char('|'))));
    QVERIFY2(texts.contains(japanese), qPrintable(texts.join(QLatin1Char('|'))));
}

void ToolkitTextsTest::documentContextMenu_data()
{
    QTest::addColumn<QString>("japanese");
    QTest::newRow("copy") << "コピー(&C)";
    QTest::newRow("select all") << "すべてを選択";
}

// The menu a right click on a document opens (a pop-up the click leaves up).
void ToolkitTextsTest::documentContextMenu()
{
    QFETCH(QString, japanese);
    RichTextView view;
    view.setPlainText(QStringLiteral("問題"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), view.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &click);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text().section(QLatin1Char('\t'), 0, 0);   // less the shortcut
    menu->close();
    QVERIFY2(texts.contains(japanese), qPrintable(texts.join(QLatin1Char('|'))));
}

int main(int argc, char *argv[])
{
    ExamApplication app(argc, argv);
    ToolkitTextsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_toolkittexts.moc"
