#include "runtimeerror.h"

#include <QApplication>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <stdexcept>

QString runTimeErrorMessage(std::exception_ptr error)
{
    QString detail = QStringLiteral("原因不明のエラーです。");
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::overflow_error &) {
        detail = QStringLiteral("オーバーフローしました。");
    } catch (const std::exception &other) {
        detail = QString::fromLocal8Bit(other.what());
    } catch (...) {
    }
    return QStringLiteral("実行時エラー: %1\n\nプログラムを終了します。").arg(detail);
}

void endWithRunTimeError(std::exception_ptr error)
{
    // One message, even if something fails again while it is shown.
    static bool showing = false;
    if (showing)
        return;
    const QScopedValueRollback<bool> rollback(showing, true);
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("実行時エラー"), runTimeErrorMessage(error));
    QCoreApplication::exit(1);
}
