// An error that escapes a handler is shown as a run-time error message and ends the
// program with a non-zero status.
#include "examapplication.h"
#include "examtesting.h"
#include "runtimeerror.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

using Failing = std::function<void()>;
Q_DECLARE_METATYPE(Failing)

// An object whose own event handler fails, outside any guarded connection.
class FailingObject : public QObject
{
public:
    explicit FailingObject(Failing failing) : m_failing(std::move(failing)) {}

    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            m_failing();
        return QObject::event(event);
    }

private:
    Failing m_failing;
};

class RunTimeErrorTest : public QObject
{
    Q_OBJECT

private slots:
    void errorInAHandlerEndsTheProgram_data();
    void errorInAHandlerEndsTheProgram();
};

void RunTimeErrorTest::errorInAHandlerEndsTheProgram_data()
{
    QTest::addColumn<Failing>("handler");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("connected"); // a button's guarded handler, or an event handler
    const Failing overflow = [] { throw std::overflow_error("score total overflows"); };
    QTest::newRow("overflow") << overflow << name("オーバーフローしました。") << true;
    QTest::newRow("other error") << Failing([] { throw std::runtime_error("テスト用の失敗"); })
                                 << name("テスト用の失敗") << true;
    QTest::newRow("not an exception class") << Failing([] { throw 6; }) << name("原因不明のエラーです。") << true;
    QTest::newRow("overflow in an event handler") << overflow << name("オーバーフローしました。") << false;
}

void RunTimeErrorTest::errorInAHandlerEndsTheProgram()
{
    QFETCH(Failing, handler);
    QFETCH(QString, detail);
    QFETCH(bool, connected);

    QPushButton button(QStringLiteral("得　点"));
    connect(&button, &QPushButton::clicked, this, guarded(handler));
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    FailingObject failing(handler);

    // The message is read and closed as the user would, with the program's loop running.
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer reader;
    connect(&reader, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->accept();
        }
    });
    reader.start(10);
    if (connected)
        QTimer::singleShot(0, &button, [&button] { QTest::mouseClick(&button, Qt::LeftButton); });
    else
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
    watchdog.start(10000);

    QCOMPARE(QApplication::exec(), 1);
    QCOMPARE(title, name("実行時エラー"));
    QCOMPARE(icon, QMessageBox::Critical);
    QVERIFY2(text.contains(detail), qPrintable(text));
    QVERIFY2(text.contains(name("プログラムを終了します")), qPrintable(text));
}

int main(int argc, char *argv[])
{
    ExamApplication app(argc, argv);
    RunTimeErrorTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_runtimeerror.moc"
