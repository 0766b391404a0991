#pragma once

// A test function run afresh in a child process of the test, whose end is watched: a
// crash or a hang at the end is the finding, not a reason to attach a debugger.
//
//     if (!inTestChild()) {
//         const QString failure = failureOfChild(QCoreApplication::applicationFilePath(),
//                                                QTest::currentTestFunction());
//         QVERIFY2(failure.isEmpty(), qPrintable(failure));
//         return;
//     }
//     ... what the child does

#include <QProcess>
#include <QString>
#include <QtTest>

// Set in the child's environment.
constexpr char testChildRole[] = "NIHONSHIB_TEST_CHILD";

inline bool inTestChild()
{
    return qEnvironmentVariableIsSet(testChildRole);
}

// Runs testFunction ("function" or "function:row") of program in a child process, its
// environment this one's with extra added, and the event loop running meanwhile (for a
// server of the test's own that the child talks to). Returns what the child printed and
// how it ended if it did not end with status 0 within timeoutMs; empty if it did.
inline QString failureOfChild(const QString &program, const QString &testFunction,
                              const QProcessEnvironment &extra = {}, int timeoutMs = 60000)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(testChildRole), QStringLiteral("1"));
    environment.insert(QStringLiteral("QTEST_DISABLE_STACK_DUMP"), QStringLiteral("1"));
    environment.insert(extra);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(program, {testFunction});
    if (!QTest::qWaitFor([&child] { return child.state() == QProcess::NotRunning; }, timeoutMs)) {
        child.kill();
        child.waitForFinished();
        return QStringLiteral("the child did not end within %1 s:\n%2")
            .arg(timeoutMs / 1000)
            .arg(QString::fromLocal8Bit(child.readAll()));
    }
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        return QString();
    return QStringLiteral("%1\nthe child %2 %3")
        .arg(QString::fromLocal8Bit(child.readAll()),
             child.exitStatus() == QProcess::CrashExit ? QStringLiteral("was ended by a signal")
                                                       : QStringLiteral("exited with"))
        .arg(child.exitCode());
}
