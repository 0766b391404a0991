// The Pass-rate button and the verdict windows it opens; the help window.
#include "examfixture.h"
#include "examtesting.h"
#include "examwindow.h"
#include "helpwindow.h"
#include "reviewtesting.h"
#include "reviewwindow.h"
#include "verdictwindow.h"

#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <xcb/xcb.h>

class SecondaryWindowsTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:
    void cleanup();

    void passRateBands_data();
    void passRateBands();
    void emptyScoreOpensNothing();
    void pressingTwiceLeavesOneWindow();
    void twoBandsStayOpenTogether();
    void closedWindowReopensAfresh();
    void destroyedFromOutsideReopens_data();
    void destroyedFromOutsideReopens();
    void verdictLayout_data();
    void verdictLayout();
    void escapeCloses_data();
    void escapeCloses();

    void helpWindow();
    void helpWindowDuringACountdown();

    void windowsAndDocumentsAreNamed_data();
    void windowsAndDocumentsAreNamed();

private:
    void showScore(const QString &score);
    QList<QWidget *> openVerdictWindows() const;

};


void SecondaryWindowsTest::cleanup()
{
    closeWindow();
    QTRY_VERIFY(openVerdictWindows().isEmpty());
}

// A sheet marked to that score, then Pass rate.
void SecondaryWindowsTest::showScore(const QString &score)
{
    markScore(m_window, score.toInt());
    QCOMPARE(m_window->findChild<QLabel *>(name("lbl得点"))->text(), score);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd合格率")), Qt::LeftButton);
}

QList<QWidget *> SecondaryWindowsTest::openVerdictWindows() const
{
    QList<QWidget *> open;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName().startsWith(name("frm合格ライン")) && widget->isVisible())
            open << widget;
    }
    return open;
}

void SecondaryWindowsTest::passRateBands_data()
{
    QTest::addColumn<QString>("score");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("passRate");

    QTest::newRow("100") << "100" << name("frm合格ライン1") << name(" 合格率 ９９％");
    QTest::newRow("98") << "98" << name("frm合格ライン2") << name(" 合格率 ８０％");
    QTest::newRow("80") << "80" << name("frm合格ライン2") << name(" 合格率 ８０％");
    QTest::newRow("79") << "79" << name("frm合格ライン3") << name(" 合格率 ５０％");
    QTest::newRow("60") << "60" << name("frm合格ライン3") << name(" 合格率 ５０％");
    QTest::newRow("59") << "59" << name("frm合格ライン4") << name(" 合格率 １０％");
    QTest::newRow("40") << "40" << name("frm合格ライン4") << name(" 合格率 １０％");
    QTest::newRow("39") << "39" << name("frm合格ライン5") << name(" 合格率 ０％");
    QTest::newRow("9") << "9" << name("frm合格ライン5") << name(" 合格率 ０％");
    QTest::newRow("2") << "2" << name("frm合格ライン5") << name(" 合格率 ０％");
    QTest::newRow("0") << "0" << name("frm合格ライン6") << name(" 予測不能");
}

void SecondaryWindowsTest::passRateBands()
{
    QFETCH(QString, score);
    QFETCH(QString, window);
    QFETCH(QString, passRate);

    showScore(score);
    const QList<QWidget *> open = openVerdictWindows();
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.first()->objectName(), window);
    QCOMPARE(open.first()->findChild<QLabel *>(name("Label1"))->text(), passRate);
}

void SecondaryWindowsTest::emptyScoreOpensNothing()
{
    // After Start the score label is empty: Pass rate does nothing.
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmdスタート")), Qt::LeftButton);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd合格率")), Qt::LeftButton);
    QVERIFY(openVerdictWindows().isEmpty());
}

void SecondaryWindowsTest::pressingTwiceLeavesOneWindow()
{
    showScore(QStringLiteral("84"));
    QWidget *first = openVerdictWindows().value(0);
    showScore(QStringLiteral("84"));
    QCOMPARE(openVerdictWindows().size(), 1);
    QCOMPARE(openVerdictWindows().first(), first);
}

void SecondaryWindowsTest::twoBandsStayOpenTogether()
{
    showScore(QStringLiteral("100"));
    showScore(QStringLiteral("45"));
    const QList<QWidget *> open = openVerdictWindows();
    QCOMPARE(open.size(), 2);
    // Same size and centred: the newer covers the older exactly.
    QCOMPARE(open[0]->geometry(), open[1]->geometry());
}

void SecondaryWindowsTest::closedWindowReopensAfresh()
{
    showScore(QStringLiteral("70"));
    QPointer<QWidget> window = openVerdictWindows().value(0);
    auto *table = window->findChild<QTextEdit *>(name("RichTextBox1"));
    QScrollBar *bar = table->verticalScrollBar();
    QVERIFY2(bar->maximum() > 0, "the pass-line table is longer than its box");
    bar->setValue(bar->maximum());
    window->move(window->pos() + QPoint(40, 30));
    const QPoint movedTo = window->pos();
    QVERIFY(window->close());
    QTRY_VERIFY(!window);

    showScore(QStringLiteral("70"));
    QWidget *again = openVerdictWindows().value(0);
    QVERIFY(again);
    QCOMPARE(again->findChild<QTextEdit *>(name("RichTextBox1"))->verticalScrollBar()->value(), 0);
    QVERIFY(again->pos() != movedTo);
}

void SecondaryWindowsTest::destroyedFromOutsideReopens_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("verdict") << name("frm合格ライン4");
    QTest::newRow("help") << name("frmヘルプ");
    QTest::newRow("review") << name("frm解答解説");
}

// Another program destroys the native window; the next request opens the window again.
void SecondaryWindowsTest::destroyedFromOutsideReopens()
{
    QFETCH(QString, window);
    const auto open = [this, &window]() -> QWidget * {
        showScore(QStringLiteral("45"));
        m_window->findChild<QAction *>(name("mnuAbout"))->trigger();
        openReview(m_window);
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == window && widget->isVisible())
                return widget;
        }
        return nullptr;
    };
    QPointer<QWidget> shown = open();
    QVERIFY(shown);
    // What the X server sends when another program destroys the window.
    xcb_destroy_notify_event_t destroyed {};
    destroyed.response_type = XCB_DESTROY_NOTIFY;
    destroyed.event = destroyed.window = xcb_window_t(shown->winId());
    qintptr result = 0;
    QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", &destroyed, &result);
    QTRY_VERIFY(!shown);
    QVERIFY(open());
}

void SecondaryWindowsTest::verdictLayout_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<QString>("passRate");
    QTest::addColumn<QColor>("passRateColour");
    QTest::addColumn<QRect>("passRateGeometry");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QRect>("commentGeometry");

    auto line1 = [](int left, int width) { return QRect(left / 15, 120 / 15, width / 15, 375 / 15); };
    auto line2 = [](int left, int width) { return QRect(left / 15, 720 / 15, width / 15, 255 / 15); };
    QTest::newRow("frm合格ライン1") << 1 << name(" 合格率 ９９％") << QColor(255, 0, 0) << line1(4680, 2535)
                                   << name(" あなたは八百長です・・・ 替え玉受験をして儲けましょう。") << line2(2400, 7215);
    QTest::newRow("frm合格ライン2") << 2 << name(" 合格率 ８０％") << QColor(255, 192, 128) << line1(4680, 2535)
                                   << name(" 一流大学までもう少しです。 合コン生活目指して頑張りましょう。") << line2(1920, 7935);
    QTest::newRow("frm合格ライン3") << 3 << name(" 合格率 ５０％") << QColor(255, 255, 128) << line1(4680, 2535)
                                   << name(" 三流大学でも危ないです。 機械の故障に期待しましょう。") << line2(2400, 6975);
    QTest::newRow("frm合格ライン4") << 4 << name(" 合格率 １０％") << QColor(128, 255, 128) << line1(4680, 2535)
                                   << name(" 進学できる大学はありません。 裏口入学を考えましょう。") << line2(2400, 6975);
    QTest::newRow("frm合格ライン5") << 5 << name(" 合格率 ０％") << QColor(128, 255, 255) << line1(4800, 2295)
                                   << name(" 浪人生活にリーチです。 金属バットは捨てておきましょう。") << line2(2400, 7215);
    QTest::newRow("frm合格ライン6") << 6 << name(" 予測不能") << QColor(128, 128, 255) << line1(5040, 1695)
                                   << name(" 勉強しても無駄です。 日本を脱出して一旗揚げましょう。") << line2(2400, 6975);
}

void SecondaryWindowsTest::verdictLayout()
{
    QFETCH(int, band);
    QFETCH(QString, passRate);
    QFETCH(QColor, passRateColour);
    QFETCH(QRect, passRateGeometry);
    QFETCH(QString, comment);
    QFETCH(QRect, commentGeometry);

    VerdictWindow window(band);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.objectName(), QStringLiteral("frm合格ライン%1").arg(band));
    QCOMPARE(window.windowTitle(), name("合格ライン"));
    QCOMPARE(window.size(), QSize(792, 573));
    QCOMPARE(window.palette().color(QPalette::Window), QColor(255, 128, 128));
    QVERIFY(!window.windowIcon().isNull());
    const QRect screen = window.screen()->availableGeometry();
    QVERIFY2(qAbs(window.frameGeometry().center().x() - screen.center().x()) <= 1,
             qPrintable(QStringLiteral("%1 vs %2").arg(window.frameGeometry().center().x()).arg(screen.center().x())));

    auto *label1 = window.findChild<QLabel *>(name("Label1"));
    QCOMPARE(label1->text(), passRate);
    QCOMPARE(label1->geometry(), passRateGeometry);
    QCOMPARE(label1->palette().color(QPalette::Window), passRateColour);
    QVERIFY(label1->autoFillBackground());
    QCOMPARE(label1->font().pointSizeF(), 15.75);
    QVERIFY(label1->font().bold());
    QCOMPARE(QFontInfo(label1->font()).family(), name("IPAGothic"));

    auto *label2 = window.findChild<QLabel *>(name("Label2"));
    QCOMPARE(label2->text(), comment);
    QCOMPARE(label2->geometry(), commentGeometry);
    QCOMPARE(label2->palette().color(QPalette::Window), QColor(255, 128, 128));
    QCOMPARE(label2->font().pointSizeF(), 12.0);
    QVERIFY(label2->font().bold());

    auto *table = window.findChild<QTextEdit *>(name("RichTextBox1"));
    QCOMPARE(table->geometry(), QRect(0, 1200 / 15, 11895 / 15, 7455 / 15));
    QVERIFY(table->isReadOnly());
    QVERIFY(table->toPlainText().contains(name("旧帝国大学")));
    QCOMPARE(window.focusWidget(), table);
}

void SecondaryWindowsTest::escapeCloses_data()
{
    QTest::addColumn<bool>("help");

    QTest::newRow("verdict window") << false;
    QTest::newRow("help window") << true;
}

void SecondaryWindowsTest::escapeCloses()
{
    QFETCH(bool, help);

    if (help)
        m_window->findChild<QAction *>(name("mnuAbout"))->trigger();
    else
        showScore(QStringLiteral("70"));
    QPointer<QWidget> window = help ? m_window->helpWindow() : openVerdictWindows().value(0);
    QVERIFY(window);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    // The key goes where a student's would: to the document, which has the focus.
    QTest::keyClick(window->focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!window);
    QVERIFY(m_window->isVisible());
}

void SecondaryWindowsTest::helpWindow()
{
    m_window->findChild<QAction *>(name("mnuAbout"))->trigger();
    QPointer<HelpWindow> help = m_window->helpWindow();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->objectName(), name("frmヘルプ"));
    QCOMPARE(help->windowTitle(), name("バージョン情報"));
    QCOMPARE(help->size(), QSize(792, 573));
    QVERIFY(!help->windowIcon().isNull());
    QVERIFY(!help->parentWidget());
    auto *document = help->findChild<QTextEdit *>(name("RichTextBox1"));
    QCOMPARE(document->geometry(), QRect(0, 0, 11895 / 15, 8655 / 15));
    QVERIFY(document->isReadOnly());
    QVERIFY(document->toPlainText().contains(name("★学習手順")));
    QVERIFY2(document->verticalScrollBar()->maximum() > 0, "the help document is longer than the window");
    QCOMPARE(help->focusWidget(), document);

    // Chosen again: still one help window, brought to the front.
    m_window->activateWindow();
    m_window->findChild<QAction *>(name("mnuAbout"))->trigger();
    QCOMPARE(m_window->helpWindow(), help.data());
    int helpWindows = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        helpWindows += widget->objectName() == name("frmヘルプ") && widget->isVisible();
    QCOMPARE(helpWindows, 1);

    // Closed, it is unloaded; opened again, it is a new one scrolled to the top.
    document->verticalScrollBar()->setValue(document->verticalScrollBar()->maximum());
    help->close();
    QTRY_VERIFY(!help);
    m_window->onAboutTriggered();
    QVERIFY(m_window->helpWindow());
    QCOMPARE(m_window->helpWindow()->findChild<QTextEdit *>(name("RichTextBox1"))->verticalScrollBar()->value(), 0);
}

void SecondaryWindowsTest::helpWindowDuringACountdown()
{
    m_clock.setWall(QTime(9, 0, 30));
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmdスタート")), Qt::LeftButton);
    m_window->onAboutTriggered();
    QVERIFY(m_window->helpWindow()->isVisible());
    m_clock.advanceTo(QTime(9, 1, 0));
    m_window->onTimerTick();
    QCOMPARE(m_window->findChild<QLabel *>(name("lbl秒"))->text(), QStringLiteral("0:59"));
    QVERIFY(m_window->findChild<QTimer *>(name("tmr時間"))->isActive());
    // The answer sheet still takes ticks behind the help window.
    QTest::mouseClick(m_window->checkBox(1, 4), Qt::LeftButton, {}, QPoint(8, 8));
    QVERIFY(m_window->checkBox(1, 4)->isChecked());
}

void SecondaryWindowsTest::windowsAndDocumentsAreNamed_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("document");

    QTest::newRow("exam window") << name("frm日本史B") << name("問題 （日本史B）") << name("問題冊子");
    QTest::newRow("verdict window") << name("frm合格ライン3") << name("合格ライン") << name("合格ライン");
    QTest::newRow("help window") << name("frmヘルプ") << name("バージョン情報") << name("ヘルプ");
    QTest::newRow("review window") << name("frm解答解説") << name("解答・解説") << name("解答・解説");
}

// A screen reader announces a window by its role and title, and a document by its name.
void SecondaryWindowsTest::windowsAndDocumentsAreNamed()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(QString, document);

    showScore(QStringLiteral("65"));
    m_window->findChild<QAction *>(name("mnuAbout"))->trigger();
    clickButton(m_window, "cmd得点");
    openReview(m_window);
    QWidget *shown = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == window && widget->isVisible())
            shown = widget;
    }
    QVERIFY(shown);

    QAccessibleInterface *windowInterface = QAccessible::queryAccessibleInterface(shown);
    QCOMPARE(windowInterface->role(), QAccessible::Window);
    QCOMPARE(windowInterface->text(QAccessible::Name), title);
    auto *viewer = shown->findChild<QTextEdit *>(name("RichTextBox1"));
    QVERIFY(viewer);
    QAccessibleInterface *viewerInterface = QAccessible::queryAccessibleInterface(viewer);
    QCOMPARE(viewerInterface->text(QAccessible::Name), document);
    QVERIFY(viewerInterface->state().readOnly);
}

QTEST_MAIN(SecondaryWindowsTest)
#include "tst_secondarywindows.moc"
