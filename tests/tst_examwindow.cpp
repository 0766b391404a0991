// The exam window as it opens, and marking the answer sheet through real clicks.
#include "examtesting.h"
#include "examwindow.h"
#include "fakeclock.h"
#include "tabcontrol.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// The correct box and points of each question, as the answer key lists them.
struct KeyRow
{
    int choices;
    int correct;
    int points;
};
const KeyRow keyTable[36] = {
    {4, 4, 3}, {4, 2, 3}, {6, 4, 2}, {4, 2, 3}, {4, 1, 3}, {4, 4, 3}, {4, 3, 2}, {6, 5, 3}, {4, 4, 3},
    {4, 3, 3}, {4, 2, 3}, {4, 4, 3}, {4, 1, 2}, {4, 4, 3}, {4, 1, 3}, {4, 3, 3}, {4, 2, 3}, {4, 3, 3},
    {4, 4, 3}, {4, 2, 3}, {4, 2, 3}, {4, 1, 2}, {4, 3, 3}, {6, 6, 3}, {4, 1, 3}, {4, 4, 2}, {4, 1, 3},
    {4, 3, 3}, {6, 1, 2}, {4, 4, 3}, {4, 2, 2}, {4, 3, 3}, {4, 3, 3}, {4, 4, 3}, {4, 4, 2}, {4, 2, 3},
};

const char *const pageCaptions[36] = {
    "1A-問1", "1A-問2", "1B-問3", "1B-問4", "1C-問5", "1C-問6", "2A-問1", "2A-問2", "2A-問3",
    "2A-問4", "2B-問5", "2B-問6", "3A-問1", "3A-問2", "3A-問3", "3B-問4", "3B-問5", "3B-問6",
    "4A-問1", "4A-問2", "4A-問3", "4B-問4", "4B-問5", "4B-問6", "5A-問1", "5A-問2", "5A-問3",
    "5A-問4", "5B-問5", "5B-問6", "5C-問7", "5C-問8", "6A-問1", "6A-問2", "6B-問3", "6B-問4",
};

QRect px(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

using Ticks = QList<QPair<int, int>>;


} // namespace

class ExamWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAsItOpens();
    void controlLayout_data();
    void controlLayout();
    void answerPages();
    void checkBoxLayout_data();
    void checkBoxLayout();
    void menus();
    void tabOrder();
    void resizingMovesNothing();
    void screenshot();

    void marking_data();
    void marking();
    void eachQuestionAlone_data();
    void eachQuestionAlone();
    void secondPressGivesTheSameResult();
    void marksOnHiddenPagesAppearWhenChosen();
    void scoreBeforeAnyStart();
    void scoreLabelSizesItself();

private:
    // Ticks boxes as the student does: choose the page, then click the box.
    void tick(int question, int box);
    QString score() const;

    FakeClock m_clock;
    ExamWindow *m_window = nullptr;
};

void ExamWindowTest::init()
{
    m_window = new ExamWindow(&m_clock);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void ExamWindowTest::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void ExamWindowTest::tick(int question, int box)
{
    auto *sheet = m_window->findChild<TabControl *>(name("SSTab2"));
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(question - 1).center());
    QCOMPARE(sheet->currentIndex(), question - 1);
    QCheckBox *check = m_window->checkBox(question, box);
    QVERIFY(check->isVisible());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
}

QString ExamWindowTest::score() const
{
    return m_window->findChild<QLabel *>(name("lbl得点"))->text();
}

void ExamWindowTest::windowAsItOpens()
{
    QCOMPARE(m_window->objectName(), name("frm日本史B"));
    QCOMPARE(m_window->windowTitle(), name("問題 （日本史B）"));
    QCOMPARE(m_window->centralWidget()->size(), QSize(792, 554));
    QVERIFY(!m_window->windowIcon().isNull());
    QCOMPARE(QFontInfo(m_window->font()).family(), name("IPAGothic"));
    QCOMPARE(m_window->font().pointSizeF(), 9.0);

    auto *timer = m_window->findChild<QTimer *>(name("tmr時間"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(!timer->isActive());
    auto *media = m_window->findChild<QWidget *>(name("MMControl1"));
    QVERIFY(media);
    QVERIFY(media->isHidden());
    QCOMPARE(media->geometry(), px(0, 7920, 3540, 375));

    for (const char *button : {"cmdスタート", "cmd得点", "cmd合格率"})
        QVERIFY(m_window->findChild<QPushButton *>(name(button))->isEnabled());
    QVERIFY(m_window->findChild<QLabel *>(name("lbl秒"))->text().isEmpty());
    QVERIFY(score().isEmpty());
    for (int q = 1; q <= 36; ++q) {
        QVERIFY(m_window->mark(q)->isHidden());
        for (int box = 1; box <= keyTable[q - 1].choices; ++box)
            QVERIFY(!m_window->checkBox(q, box)->isChecked());
    }
    QCOMPARE(m_window->findChild<TabControl *>(name("SSTab1"))->currentIndex(), 0);
    QCOMPARE(m_window->findChild<TabControl *>(name("SSTab2"))->currentIndex(), 0);

    // The background picture fills the client area from its top-left corner.
    const QImage client = m_window->centralWidget()->grab().toImage();
    const QImage background(QStringLiteral(":/pictures/background.gif"));
    QCOMPARE(background.size(), QSize(794, 567));
    QCOMPARE(client.pixel(1, 553), background.pixel(1, 553));
}

void ExamWindowTest::controlLayout_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("background");

    const QColor pink(255, 128, 255);
    const QColor none;
    QTest::newRow("cmdスタート") << name("cmdスタート") << px(480, 960, 1215, 495) << name("スタート") << 9.0 << true << none;
    QTest::newRow("Label1") << name("Label1") << px(240, 1800, 1695, 375) << name("あと　 　　分") << 12.0 << true << pink;
    QTest::newRow("lbl秒") << name("lbl秒") << px(840, 1800, 735, 375) << QString() << 14.25 << true << pink;
    QTest::newRow("cmd得点") << name("cmd得点") << px(480, 3120, 1215, 495) << name("得　点") << 9.0 << true << none;
    QTest::newRow("Label4") << name("Label4") << px(240, 3840, 1935, 255) << name("（平均 61,74 点）") << 9.0 << true << none;
    QTest::newRow("Label2") << name("Label2") << px(480, 4320, 1215, 375) << name("点") << 14.25 << true << pink;
    QTest::newRow("cmd合格率") << name("cmd合格率") << px(480, 5760, 1215, 495) << name("合格率") << 9.0 << true << none;
    QTest::newRow("SSTab1") << name("SSTab1") << px(2160, 0, 9735, 6015) << QString() << 9.0 << false << none;
    QTest::newRow("SSTab2") << name("SSTab2") << px(2160, 6120, 9615, 2175) << QString() << 9.0 << false << QColor(255, 255, 0);
    QTest::newRow("RichTextBox1") << name("RichTextBox1") << px(120, 360, 9375, 5535) << QString() << 9.0 << false << none;
    QTest::newRow("Picture1") << name("Picture1") << px(1200, 480, 7335, 5175) << QString() << 9.0 << false << none;
}

void ExamWindowTest::controlLayout()
{
    QFETCH(QString, control);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(qreal, points);
    QFETCH(bool, bold);
    QFETCH(QColor, background);

    auto *widget = m_window->findChild<QWidget *>(control);
    QVERIFY2(widget, qPrintable(control));
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->font().pointSizeF(), points);
    QCOMPARE(widget->font().bold(), bold);
    QCOMPARE(QFontInfo(widget->font()).family(), name("IPAGothic"));
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->text(), caption);
        if (background.isValid()) {
            QVERIFY(label->autoFillBackground());
            QCOMPARE(label->palette().color(QPalette::Window), background);
        } else {
            QVERIFY(!label->autoFillBackground());
        }
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), caption);
    } else if (auto *tabs = qobject_cast<TabControl *>(widget); tabs && background.isValid()) {
        QCOMPARE(tabs->pageColor(), background);
    }
}

void ExamWindowTest::answerPages()
{
    auto *booklet = m_window->findChild<TabControl *>(name("SSTab1"));
    QCOMPARE(booklet->count(), 2);
    QCOMPARE(booklet->tabText(0), name("問題"));
    QCOMPARE(booklet->tabText(1), name("図１"));
    QCOMPARE(booklet->rowCount(), 1);

    auto *sheet = m_window->findChild<TabControl *>(name("SSTab2"));
    QCOMPARE(sheet->count(), 36);
    QCOMPARE(sheet->rowCount(), 3);
    for (int q = 1; q <= 36; ++q) {
        QCOMPARE(sheet->tabText(q - 1), name(pageCaptions[q - 1]));
        auto *frame = m_window->findChild<QGroupBox *>(QStringLiteral("Frame%1").arg(q));
        QVERIFY(frame);
        QCOMPARE(frame->parentWidget(), sheet->page(q - 1));
        QCOMPARE(frame->geometry(), px(1560, 1080, 6975, 855));
        QCOMPARE(frame->title(), name("答え"));
        QLabel *mark = m_window->mark(q);
        QCOMPARE(mark->objectName(), QStringLiteral("pctマル(%1)").arg(q));
        QCOMPARE(mark->parentWidget(), sheet->page(q - 1));
        QCOMPARE(mark->geometry(), px(600, 1320, 495, 495));
        QCOMPARE(mark->pixmap().size(), QSize(32, 32));
        QCOMPARE(frame->findChildren<QCheckBox *>().size(), keyTable[q - 1].choices);
    }
}

void ExamWindowTest::checkBoxLayout_data()
{
    QTest::addColumn<int>("question");
    QTest::addColumn<QList<int>>("lefts");
    QTest::addColumn<QList<int>>("widths");

    const QList<int> fourLefts{960, 2400, 3960, 5520};
    const QList<int> fourWidths{1095, 495, 615, 615};
    const QList<int> sixLefts{600, 1680, 2760, 3840, 4920, 6000};
    const QList<int> sixWidths{735, 495, 735, 735, 615, 615};
    for (int q = 1; q <= 36; ++q) {
        const bool six = q == 3 || q == 8 || q == 24 || q == 29;
        QTest::addRow("question %d", q) << q << (six ? sixLefts : fourLefts) << (six ? sixWidths : fourWidths);
    }
}

void ExamWindowTest::checkBoxLayout()
{
    QFETCH(int, question);
    QFETCH(QList<int>, lefts);
    QFETCH(QList<int>, widths);

    const char *const digits[] = {"①", "②", "③", "④", "⑤", "⑥"};
    for (int box = 1; box <= lefts.size(); ++box) {
        QCheckBox *check = m_window->checkBox(question, box);
        QVERIFY(check);
        QCOMPARE(check->objectName(), QStringLiteral("chk日本史B%1(%2)").arg(question).arg(box));
        QCOMPARE(check->text(), name(digits[box - 1]));
        QCOMPARE(check->geometry(), px(lefts[box - 1], 360, widths[box - 1], 255));
        QCOMPARE(check->accessibleName(), name(pageCaptions[question - 1]) + QLatin1Char(' ') + name(digits[box - 1]));
    }
    QVERIFY(!m_window->checkBox(question, lefts.size() + 1));
}

void ExamWindowTest::menus()
{
    const QList<QAction *> top = m_window->menuBar()->actions();
    QCOMPARE(top.size(), 2);
    QCOMPARE(top[0]->text(), name("ゲーム(&G)"));
    QCOMPARE(top[1]->text(), name("ヘルプ(&H)"));
    // The review's item and a separator stand above 終了, which stays last.
    QCOMPARE(top[0]->menu()->actions().size(), 3);
    QCOMPARE(top[0]->menu()->actions()[0]->objectName(), name("mnuReview"));
    QVERIFY(top[0]->menu()->actions()[1]->isSeparator());
    QCOMPARE(top[0]->menu()->actions().last()->text(), name("終了(&Q)"));
    QCOMPARE(top[0]->menu()->actions().last()->objectName(), name("mnuExit"));
    QCOMPARE(top[1]->menu()->actions().size(), 1);
    QCOMPARE(top[1]->menu()->actions()[0]->text(), name("バージョン情報(&A)"));
    QCOMPARE(top[1]->menu()->actions()[0]->objectName(), name("mnuAbout"));
    for (QAction *action : {top[0], top[1], top[0]->menu()->actions()[0], top[0]->menu()->actions().last(),
                            top[1]->menu()->actions()[0]})
        QVERIFY(action->isEnabled() && action->isVisible());
}

void ExamWindowTest::tabOrder()
{
    QCOMPARE(QApplication::focusWidget(), m_window->findChild<QWidget *>(name("cmdスタート")));
    // From Start the Tab key walks the booklet, then the answer sheet, and ends on Pass rate.
    QList<QString> visited;
    for (int i = 0; i < 12 && visited.size() < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited.value(0), name("SSTab1"));
    QVERIFY(visited.indexOf(name("RichTextBox1")) > 0);
    QVERIFY(visited.indexOf(name("SSTab2")) > visited.indexOf(name("RichTextBox1")));
    QVERIFY(visited.contains(name("chk日本史B1(1)")));
    QVERIFY(visited.contains(name("cmd得点")));
    QCOMPARE(visited.indexOf(name("cmd合格率")), visited.indexOf(name("cmd得点")) + 1);
}

void ExamWindowTest::resizingMovesNothing()
{
    const QRect before = m_window->findChild<QWidget *>(name("SSTab2"))->geometry();
    m_window->resize(1200, 900);
    QTRY_COMPARE(m_window->centralWidget()->width(), 1200);
    QCOMPARE(m_window->findChild<QWidget *>(name("SSTab2"))->geometry(), before);
    QCOMPARE(m_window->findChild<QWidget *>(name("cmd合格率"))->geometry(), px(480, 5760, 1215, 495));
    // Beyond the picture the window shows the button face.
    const QImage client = m_window->centralWidget()->grab().toImage();
    QCOMPARE(client.pixelColor(1100, 850), m_window->palette().color(QPalette::Button));
}

void ExamWindowTest::screenshot()
{
    tick(1, 4);
    tick(2, 1);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    auto *sheet = m_window->findChild<TabControl *>(name("SSTab2"));
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(0).center());
    const QString file = QStringLiteral(BINARY_DIR "/exam-window.png");
    QVERIFY(m_window->grab().save(file));
}

void ExamWindowTest::marking_data()
{
    QTest::addColumn<Ticks>("ticks");
    QTest::addColumn<QString>("expectedScore");
    QTest::addColumn<QList<int>>("marked");

    Ticks key, threes, twos;
    QList<int> all, threeQuestions, twoQuestions;
    for (int q = 1; q <= 36; ++q) {
        key << qMakePair(q, keyTable[q - 1].correct);
        all << q;
        if (keyTable[q - 1].points == 3) {
            threes << qMakePair(q, keyTable[q - 1].correct);
            threeQuestions << q;
        } else {
            twos << qMakePair(q, keyTable[q - 1].correct);
            twoQuestions << q;
        }
    }
    QTest::newRow("nothing ticked") << Ticks{} << "0" << QList<int>{};
    QTest::newRow("exactly the key") << key << "100" << all;
    QTest::newRow("only the 3-point questions") << threes << "84" << threeQuestions;
    QTest::newRow("only the 2-point questions") << twos << "16" << twoQuestions;
    QTest::newRow("q1 ④ alone") << Ticks{{1, 4}} << "3" << QList<int>{1};
    QTest::newRow("q1 ① and ④") << Ticks{{1, 1}, {1, 4}} << "0" << QList<int>{};
    QTest::newRow("q1 ④ and ③ after it") << Ticks{{1, 4}, {1, 3}} << "0" << QList<int>{};
    QTest::newRow("q1 all four") << Ticks{{1, 1}, {1, 2}, {1, 3}, {1, 4}} << "0" << QList<int>{};
    QTest::newRow("q2 ② with ④") << Ticks{{2, 2}, {2, 4}} << "0" << QList<int>{};
    QTest::newRow("q2 wrong only") << Ticks{{2, 3}} << "0" << QList<int>{};
    QTest::newRow("q3 ④ alone") << Ticks{{3, 4}} << "2" << QList<int>{3};
    QTest::newRow("q8 ⑤ alone") << Ticks{{8, 5}} << "3" << QList<int>{8};
    QTest::newRow("q24 ⑥ alone") << Ticks{{24, 6}} << "3" << QList<int>{24};
    QTest::newRow("q29 ① alone") << Ticks{{29, 1}} << "2" << QList<int>{29};
    QTest::newRow("q3 ④ with ⑥") << Ticks{{3, 4}, {3, 6}} << "0" << QList<int>{};
    QTest::newRow("q8 ⑤ with ①") << Ticks{{8, 5}, {8, 1}} << "0" << QList<int>{};
    QTest::newRow("q24 ⑥ with ⑤") << Ticks{{24, 6}, {24, 5}} << "0" << QList<int>{};
    QTest::newRow("q29 ① with ②") << Ticks{{29, 1}, {29, 2}} << "0" << QList<int>{};
    QTest::newRow("mixed right and wrong")
        << Ticks{{1, 4}, {5, 1}, {12, 3}, {36, 2}, {35, 4}, {35, 1}} << "9" << QList<int>{1, 5, 36};
}

void ExamWindowTest::marking()
{
    QFETCH(Ticks, ticks);
    QFETCH(QString, expectedScore);
    QFETCH(QList<int>, marked);

    for (const auto &[question, box] : ticks)
        tick(question, box);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);

    QCOMPARE(score(), expectedScore);
    for (int q = 1; q <= 36; ++q)
        QVERIFY2(m_window->mark(q)->isHidden() != marked.contains(q), qPrintable(QString::number(q)));
    // Marking never changes a tick.
    for (const auto &[question, box] : ticks)
        QVERIFY(m_window->checkBox(question, box)->isChecked());
}

void ExamWindowTest::eachQuestionAlone_data()
{
    QTest::addColumn<int>("question");
    QTest::addColumn<int>("correct");
    QTest::addColumn<QString>("points");
    for (int q = 1; q <= 36; ++q)
        QTest::addRow("question %d", q) << q << keyTable[q - 1].correct << QString::number(keyTable[q - 1].points);
}

void ExamWindowTest::eachQuestionAlone()
{
    QFETCH(int, question);
    QFETCH(int, correct);
    QFETCH(QString, points);

    auto *scoreButton = m_window->findChild<QPushButton *>(name("cmd得点"));
    tick(question, correct);
    QTest::mouseClick(scoreButton, Qt::LeftButton);
    QCOMPARE(score(), points);
    QVERIFY(!m_window->mark(question)->isHidden());

    // Any other box ticked as well loses the question.
    const int other = correct == 1 ? 2 : 1;
    tick(question, other);
    QTest::mouseClick(scoreButton, Qt::LeftButton);
    QCOMPARE(score(), QStringLiteral("0"));
    QVERIFY(m_window->mark(question)->isHidden());
}

void ExamWindowTest::secondPressGivesTheSameResult()
{
    tick(7, 3);
    tick(9, 1);
    tick(20, 2);
    auto *scoreButton = m_window->findChild<QPushButton *>(name("cmd得点"));
    QTest::mouseClick(scoreButton, Qt::LeftButton);
    QCOMPARE(score(), QStringLiteral("5"));
    QTest::mouseClick(scoreButton, Qt::LeftButton);
    QCOMPARE(score(), QStringLiteral("5"));
    QVERIFY(!m_window->mark(7)->isHidden());
    QVERIFY(m_window->mark(9)->isHidden());
    QVERIFY(!m_window->mark(20)->isHidden());
}

void ExamWindowTest::marksOnHiddenPagesAppearWhenChosen()
{
    tick(30, 4);
    auto *sheet = m_window->findChild<TabControl *>(name("SSTab2"));
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(0).center());
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    QVERIFY(!m_window->mark(30)->isVisible());
    QVERIFY(!m_window->mark(30)->isHidden());
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(29).center());
    QVERIFY(m_window->mark(30)->isVisible());
    QVERIFY(m_window->checkBox(30, 4)->isChecked());
}

void ExamWindowTest::scoreBeforeAnyStart()
{
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    QCOMPARE(score(), QStringLiteral("0"));
    QVERIFY(m_window->findChild<QPushButton *>(name("cmdスタート"))->isEnabled());
    QVERIFY(m_window->findChild<QLabel *>(name("lbl秒"))->text().isEmpty());
    QVERIFY(!m_window->findChild<QTimer *>(name("tmr時間"))->isActive());
}

void ExamWindowTest::scoreLabelSizesItself()
{
    auto *label = m_window->findChild<QLabel *>(name("lbl得点"));
    auto *unit = m_window->findChild<QLabel *>(name("Label2"));
    for (int q = 1; q <= 36; ++q)
        tick(q, keyTable[q - 1].correct);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    QCOMPARE(label->text(), QStringLiteral("100"));
    QCOMPARE(label->pos(), px(720, 4320, 0, 0).topLeft());
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(QStringLiteral("100")));
    // Three digits still end well left of the right-aligned "点".
    const int unitLeft = unit->x() + unit->width() - unit->fontMetrics().horizontalAdvance(name("点"));
    QVERIFY2(label->x() + label->width() < unitLeft, qPrintable(QString::number(label->x() + label->width())));

    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmdスタート")), Qt::LeftButton);
    QVERIFY(label->text().isEmpty());
    QVERIFY(label->width() == 0 || !label->isVisible());
}

QTEST_MAIN(ExamWindowTest)
#include "tst_examwindow.moc"
