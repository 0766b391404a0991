// The exam window as it opens, and marking the answer sheet through real clicks.
#include "examfixture.h"
#include "examtesting.h"
#include "examwindow.h"
#include "tabcontrol.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

using Ticks = QList<QPair<int, int>>;


} // namespace

class ExamWindowTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:

    void windowAsItOpens();
    void controlLayout_data();
    void controlLayout();
    void answerPages();
    void checkBoxLayout_data();
    void checkBoxLayout();
    void menus();
    void answerFramesInStandardColours_data();
    void answerFramesInStandardColours();
    void scoreStandsOnTheLineOfItsUnit();
    void resizingMovesNothing();

private:
    void tick(int question, int box) { tickBox(m_window, question, box); }

};



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
    QVERIFY(m_window->findChild<QLabel *>(name("lbl得点"))->text().isEmpty());
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
    // Asked for by that name: the document's name would cost font fallback queries at start.
    QCOMPARE(widget->font().family(), name("IPAGothic"));
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

void ExamWindowTest::answerFramesInStandardColours_data()
{
    QTest::addColumn<int>("question");
    QTest::newRow("four choices, 1A-問1") << 1;
    QTest::newRow("six choices, 1B-問3") << 3;
}

// The frame and its boxes stand on the button face, not on the yellow page, and the
// caption "答え" stands in the frame's top border line.
void ExamWindowTest::answerFramesInStandardColours()
{
    QFETCH(int, question);
    tick(question, 1);
    m_window->findChild<QWidget *>(name("cmdスタート"))->setFocus();
    auto *frame = m_window->findChild<QWidget *>(QStringLiteral("Frame%1").arg(question));
    const QColor face = m_window->palette().color(QPalette::Button);
    QWidget *client = m_window->centralWidget();
    const QImage image = client->grab(QRect(frame->mapTo(client, QPoint(0, 0)), frame->size())).toImage();
    const int middle = image.width() / 2;
    QCOMPARE(image.pixelColor(middle, image.height() - 6), face);
    for (int box = 1; box <= keyTable[question - 1].choices; ++box) {
        const QRect place = m_window->checkBox(question, box)->geometry();
        QCOMPARE(image.pixelColor(place.center().x(), place.top()), face);
    }

    // Right of the caption the border line is the first row that is not button face.
    int line = 0;
    while (line < image.height() && image.pixelColor(image.width() - 30, line) == face)
        ++line;
    const QString caption = name("答え");
    const int captionLeft = 10;
    const int captionWidth = frame->fontMetrics().horizontalAdvance(caption);
    auto inkIn = [&](int top, int bottom) {
        for (int y = top; y < bottom; ++y) {
            for (int x = captionLeft; x < captionLeft + captionWidth; ++x) {
                if (qGray(image.pixel(x, y)) < 100)
                    return true;
            }
        }
        return false;
    };
    QVERIFY2(line > 2 && line < image.height() / 2, qPrintable(QString::number(line)));
    QVERIFY(inkIn(0, line - 1));
    QVERIFY(inkIn(line + 2, line + 8));
}

// Rows of a label's caption that hold ink (dark pixels), as [top, bottom].
static QPair<int, int> inkRows(const QImage &image, int left, int right)
{
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = left; x < right; ++x) {
            if (qGray(image.pixel(x, y)) < 80) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
        }
    }
    return {top, bottom};
}

// The score and the "点" beside it read as one line: drawn together in one line they
// keep the same distance between the bottoms of their ink as on the window.
void ExamWindowTest::scoreStandsOnTheLineOfItsUnit()
{
    tick(1, 4);
    tick(3, 4);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    auto *score = m_window->findChild<QLabel *>(name("lbl得点"));
    auto *unit = m_window->findChild<QLabel *>(name("Label2"));
    QCOMPARE(score->text(), QStringLiteral("5"));

    const QImage client = m_window->centralWidget()->grab().toImage();
    const QImage strip = client.copy(0, unit->y(), client.width(), unit->height());
    const QPair<int, int> digit = inkRows(strip, score->x(), score->x() + score->width());
    const int unitWidth = unit->fontMetrics().horizontalAdvance(name("点"));
    const QPair<int, int> kanji = inkRows(strip, unit->geometry().right() - unitWidth, unit->geometry().right());

    QImage line(200, 60, QImage::Format_RGB32);
    line.fill(Qt::white);
    QPainter painter(&line);
    painter.setFont(unit->font());
    painter.setPen(Qt::black);
    const int digitWidth = painter.fontMetrics().horizontalAdvance(QStringLiteral("5"));
    painter.drawText(10, 40, QStringLiteral("5") + name("点"));
    painter.end();
    const QPair<int, int> digitAlone = inkRows(line, 10, 10 + digitWidth);
    const QPair<int, int> kanjiAlone = inkRows(line, 10 + digitWidth, 10 + digitWidth + unitWidth);

    QVERIFY(digit.first >= 0 && kanji.first >= 0);
    QCOMPARE(kanji.second - digit.second, kanjiAlone.second - digitAlone.second);
    // Both captions start at the top of their boxes.
    QCOMPARE(kanji.first, kanjiAlone.first - 40 + unit->fontMetrics().ascent());
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

QTEST_MAIN(ExamWindowTest)
#include "tst_examwindow.moc"
