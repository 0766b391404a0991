#include "examapplication.h"

#include <QMessageBox>
#include <QScopedValueRollback>
#include <stdexcept>

ExamApplication::ExamApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool ExamApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        endWithRunTimeError(&error);
    } catch (...) {
        endWithRunTimeError(nullptr);
    }
    return true;
}

QString ExamApplication::runTimeErrorMessage(const std::exception *error)
{
    QString detail = QStringLiteral("原因不明のエラーです。");
    if (dynamic_cast<const std::overflow_error *>(error))
        detail = QStringLiteral("オーバーフローしました。");
    else if (error)
        detail = QString::fromLocal8Bit(error->what());
    return QStringLiteral("実行時エラー: %1\n\nプログラムを終了します。").arg(detail);
}

void ExamApplication::endWithRunTimeError(const std::exception *error)
{
    // One message, even if something fails again while it is shown.
    if (m_showingError)
        return;
    const QScopedValueRollback<bool> showing(m_showingError, true);
    QMessageBox::critical(activeWindow(), QStringLiteral("実行時エラー"), runTimeErrorMessage(error));
    exit(1);
}
