// The display check decides from the command line and the environment alone whether
// a window can be opened, against real sockets: an X server that answers, one that
// takes the connection and says nothing, and places where nothing listens.
#include "startupchecks.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <vector>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <fcntl.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A socket bound to path, or -1 when the name is taken. A path starting with a
// NUL byte names an abstract socket, which leaves no file behind.
int unixSocket(const QByteArray &path, bool listening)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        qFatal("cannot make a socket");
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0
        || (listening && listen(fd, 4) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

// Where the X library looks first for display number: an abstract socket.
QByteArray xSocketName(int number)
{
    return QByteArray(1, '\0') + "/tmp/.X11-unix/X" + QByteArray::number(number);
}

// A display number no X server uses, with its abstract socket bound (not listening,
// so connections to it are refused) until the caller closes *socket.
int unusedDisplay(int *socket)
{
    for (int number = 600 + int(getpid() % 300);; ++number) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            continue;
        *socket = unixSocket(xSocketName(number), false);
        if (*socket >= 0)
            return number;
    }
}

// The least an X server says to a client it accepts: success, protocol 11.0, no
// vendor, no pixmap formats, no screens.
QByteArray setupAccepted()
{
    QByteArray reply(40, '\0');
    reply[0] = 1;
    reply[2] = 11;
    reply[6] = 8;                       // 8 four-byte units follow the first 8 bytes
    reply[20] = char(0xff);             // resource-id-mask 0x001fffff
    reply[21] = char(0xff);
    reply[22] = 0x1f;
    reply[26] = char(0xff);             // maximum request length
    reply[27] = char(0xff);
    reply[34] = 32;                     // bitmap scanline unit and pad
    reply[35] = 32;
    reply[36] = 8;                      // keycodes 8 to 255
    reply[37] = char(0xff);
    return reply;
}

// What an X server says to a client it refuses: failed, protocol 11.0, and its reason.
QByteArray setupRefused(const QByteArray &reason)
{
    QByteArray reply(8, '\0');
    reply[1] = char(reason.size());
    reply[2] = 11;
    reply += reason + QByteArray((4 - reason.size() % 4) % 4, '\0');
    reply[6] = char((reply.size() - 8) / 4);
    return reply;
}

const QByteArray refusal = "Authorization required, but no authorization protocol specified";

bool readExactly(int fd, char *buffer, size_t size)
{
    for (size_t done = 0; done < size;) {
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

// 12 bytes, then the authorisation's name and data, each padded to four bytes.
bool readSetupRequest(int fd)
{
    unsigned char header[12];
    if (!readExactly(fd, reinterpret_cast<char *>(header), sizeof header))
        return false;
    const bool littleEndian = header[0] == 'l';
    const auto card16 = [&](int at) {
        return littleEndian ? header[at] | header[at + 1] << 8 : header[at] << 8 | header[at + 1];
    };
    const auto padded = [](int length) { return size_t((length + 3) & ~3); };
    std::vector<char> rest(padded(card16(6)) + padded(card16(8)));
    return readExactly(fd, rest.data(), rest.size());
}

// Listens as an X display; for each client it answers as an X server would, refuses it
// with a reason, drops the first client unanswered as a server resetting does, or says nothing.
enum class Behaviour { Answers, Silent, Refuses, DropsFirst };

// The X library reads the authority file between connecting and speaking. A FIFO
// there holds the first client until the server has dropped it, so that its first
// write always meets the dropped connection; then the FIFO goes, and later clients
// find no file.
class AuthorityGate
{
public:
    explicit AuthorityGate(const QString &folder) : m_path(QFile::encodeName(folder + QStringLiteral("/authority")))
    {
        if (mkfifo(m_path.constData(), 0600) != 0)
            qFatal("cannot make the authority FIFO");
    }
    QByteArray path() const { return m_path; }

    // Lets the waiting client read (nothing) on.
    void open()
    {
        for (int tries = 0; tries < 5000; ++tries) {
            const int writer = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) {
                unlink(m_path.constData());
                close(writer);
                return;
            }
            std::this_thread::sleep_for(1ms);   // the client is not reading yet
        }
    }

private:
    QByteArray m_path;
};

class FakeXServer
{
public:
    FakeXServer(Behaviour behaviour, AuthorityGate *gate = nullptr)
    {
        // Bound first as refusing, so no other test run takes the number meanwhile.
        int placeholder = -1;
        const int number = unusedDisplay(&placeholder);
        close(placeholder);
        m_listener = unixSocket(xSocketName(number), true);
        if (m_listener < 0)
            qFatal("cannot listen as display %d", number);
        m_display = ':' + QByteArray::number(number);
        m_thread = std::thread([this, behaviour, gate] {
            for (int clients = 1;; ++clients) {
                const int client = accept(m_listener, nullptr, nullptr);
                if (client < 0)
                    return;
                if (behaviour == Behaviour::DropsFirst && clients == 1) {
                    // Closed for the client's writing only, so its poll still says
                    // "writable" and the write itself meets the broken pipe.
                    shutdown(client, SHUT_RD);
                    if (gate)
                        gate->open();
                    m_dropped = client;
                    continue;
                }
                m_client = client;
                if (behaviour != Behaviour::Silent) {
                    // The client speaks first: its setup request, then the answer.
                    if (!readSetupRequest(client)) {
                        m_client = -1;     // a client that only looked whether the server listens
                        close(client);
                        continue;
                    }
                    const QByteArray reply = behaviour == Behaviour::Refuses ? setupRefused(refusal) : setupAccepted();
                    if (send(client, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL) != reply.size())
                        return;
                }
            }
        });
    }
    ~FakeXServer()
    {
        shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        close(m_listener);
        if (m_client >= 0)
            close(m_client);
        if (m_dropped >= 0)
            close(m_dropped);
    }

    QByteArray display() const { return m_display; }

    // Whether the last client still holds its connection: reading finds neither
    // data's end nor an error, only nothing yet.
    bool clientConnected() const
    {
        char byte;
        for (;;) {
            const ssize_t got = recv(m_client, &byte, 1, MSG_DONTWAIT);
            if (got > 0)
                continue;   // what the client sent at the start
            return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }

private:
    int m_listener = -1;
    QByteArray m_display;
    std::atomic<int> m_client = -1;
    int m_dropped = -1;
    std::thread m_thread;
};

} // namespace

class StartupChecksTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void checksTheDisplay_data();
    void checksTheDisplay();
    void holdsTheXConnectionUntilReleased();
    void findsTheInstalledPlatforms();
    void toolkitLinesAreLabelledOrLeftOut();

private:
    QTemporaryDir *m_folder = nullptr;
    QByteArray m_answering, m_silent, m_refusing, m_dropping, m_dead, m_wayland;  // display names, a socket path
    FakeXServer *m_answeringServer = nullptr;
    FakeXServer *m_silentServer = nullptr;
    FakeXServer *m_refusingServer = nullptr;
    FakeXServer *m_droppingServer = nullptr;
    AuthorityGate *m_authorityGate = nullptr;
    int m_deadSocket = -1;
    int m_waylandSocket = -1;
};

void StartupChecksTest::init()
{
    m_folder = new QTemporaryDir;
    const QByteArray folder = QFile::encodeName(m_folder->path());
    m_answeringServer = new FakeXServer(Behaviour::Answers);
    m_silentServer = new FakeXServer(Behaviour::Silent);
    m_refusingServer = new FakeXServer(Behaviour::Refuses);
    m_authorityGate = new AuthorityGate(m_folder->path());
    m_droppingServer = new FakeXServer(Behaviour::DropsFirst, m_authorityGate);
    m_answering = m_answeringServer->display();
    m_silent = m_silentServer->display();
    m_refusing = m_refusingServer->display();
    m_dropping = m_droppingServer->display();
    m_dead = ':' + QByteArray::number(unusedDisplay(&m_deadSocket));
    m_wayland = folder + "/wayland-0";
    m_waylandSocket = unixSocket(m_wayland, true);
}

void StartupChecksTest::cleanup()
{
    delete m_answeringServer;
    delete m_silentServer;
    delete m_refusingServer;
    delete m_droppingServer;
    delete m_authorityGate;
    close(m_deadSocket);
    close(m_waylandSocket);
    delete m_folder;
}

using Verdict = startup::DisplayVerdict;

void StartupChecksTest::checksTheDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");  // "@answering" and the like are the sockets above
    QTest::addColumn<Verdict>("verdict");

    const QStringList none;
    QTest::newRow("xcb, the server answers") << none << QStringList{"QT_QPA_PLATFORM=xcb", "DISPLAY=@answering"}
                                             << Verdict::Reachable;
    QTest::newRow("unset platform, the server answers") << none << QStringList{"DISPLAY=@answering"}
                                                        << Verdict::Reachable;
    QTest::newRow("offscreen") << none << QStringList{"QT_QPA_PLATFORM=offscreen"} << Verdict::NotNeeded;
    QTest::newRow("offscreen with a dead X display") << none
                                                     << QStringList{"QT_QPA_PLATFORM=offscreen", "DISPLAY=@dead"}
                                                     << Verdict::NotNeeded;
    QTest::newRow("vnc on the command line") << QStringList{"nihonshib", "-platform", "vnc:size=800x600"} << none
                                             << Verdict::NotNeeded;
    QTest::newRow("wayland") << none << QStringList{"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=@wayland"}
                             << Verdict::Reachable;
    QTest::newRow("wayland, nothing listening") << none
                                                << QStringList{"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=/nonexistent/wayland-0"}
                                                << Verdict::NoDisplay;
    QTest::newRow("unset platform, unset display") << none << none << Verdict::NotNamed;
    QTest::newRow("X server refuses, with its reason") << none << QStringList{"DISPLAY=@refusing"} << Verdict::Refused;
    QTest::newRow("X server drops the first connection") << none << QStringList{"DISPLAY=@dropping"}
                                                         << Verdict::Reachable;
    QTest::newRow("dead X display") << none << QStringList{"QT_QPA_PLATFORM=xcb", "DISPLAY=@dead"}
                                    << Verdict::NoDisplay;
    QTest::newRow("silent X display") << none << QStringList{"DISPLAY=@silent"} << Verdict::NotAnswering;
    QTest::newRow("unknown platform") << none << QStringList{"QT_QPA_PLATFORM=nosuchplatform", "DISPLAY=@answering"}
                                      << Verdict::UnknownPlatform;
    QTest::newRow("unknown platform, then offscreen") << none << QStringList{"QT_QPA_PLATFORM=nosuch;offscreen"}
                                                      << Verdict::NotNeeded;
    QTest::newRow("dead X display, then offscreen") << none << QStringList{"QT_QPA_PLATFORM=xcb;offscreen", "DISPLAY=@dead"}
                                                    << Verdict::NotNeeded;
    QTest::newRow("-platform before QT_QPA_PLATFORM")
        << QStringList{"nihonshib", "-platform", "offscreen"} << QStringList{"QT_QPA_PLATFORM=nosuchplatform"}
        << Verdict::NotNeeded;
    QTest::newRow("--display before DISPLAY") << QStringList{"nihonshib", "--display", "@answering"}
                                              << QStringList{"DISPLAY=@dead"} << Verdict::Reachable;
}

void StartupChecksTest::checksTheDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(Verdict, verdict);

    const auto resolved = [this](QString text) {
        text.replace(QLatin1String("@answering"), QFile::decodeName(m_answering));
        text.replace(QLatin1String("@silent"), QFile::decodeName(m_silent));
        text.replace(QLatin1String("@refusing"), QFile::decodeName(m_refusing));
        text.replace(QLatin1String("@dropping"), QFile::decodeName(m_dropping));
        text.replace(QLatin1String("@dead"), QFile::decodeName(m_dead));
        text.replace(QLatin1String("@wayland"), QFile::decodeName(m_wayland));
        return text;
    };
    QProcessEnvironment variables;
    for (const QString &entry : std::as_const(environment)) {
        const QString value = resolved(entry.section(QLatin1Char('='), 1));
        variables.insert(entry.section(QLatin1Char('='), 0, 0), value);
    }
    for (QString &argument : arguments)
        argument = resolved(argument);

    const QStringList installed = {"xcb", "wayland", "offscreen", "vnc", "minimal"};
    // Only the silent server makes the check wait for the deadline; the others answer
    // or refuse at once, however busy the machine is.
    const auto deadline = verdict == Verdict::NotAnswering ? 300ms : 20s;
    // The X library reads the process's own environment for the authority file.
    const bool gated = environment.contains(QLatin1String("DISPLAY=@dropping"));
    const QByteArray authority = qgetenv("XAUTHORITY");
    if (gated)
        qputenv("XAUTHORITY", m_authorityGate->path());
    const startup::DisplayCheck check = startup::checkDisplay(arguments, variables, installed, deadline);
    if (gated && authority.isEmpty())
        qunsetenv("XAUTHORITY");
    else if (gated)
        qputenv("XAUTHORITY", authority);
    QCOMPARE(check.verdict, verdict);
    const QString message = startup::displayFailureMessage(check);
    if (verdict == Verdict::Reachable || verdict == Verdict::NotNeeded) {
        QVERIFY2(message.isEmpty(), qPrintable(message));
    } else {
        // One line in Japanese, then one in English, both naming the program.
        const QStringList lines = message.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith(QLatin1String("nihonshib: ")) && lines.at(0).contains(QChar(u'。')));
        QVERIFY(lines.at(1).startsWith(QLatin1String("nihonshib: ")));
        // A refusing server's own reason is told in the message, not beside it.
        QCOMPARE(message.contains(QString::fromLatin1(refusal)), verdict == Verdict::Refused);
    }
}

// A server with no other client resets when its last client leaves; the toolkit
// connecting meanwhile fails. So the check's own connection stays until released.
void StartupChecksTest::holdsTheXConnectionUntilReleased()
{
    QProcessEnvironment variables;
    variables.insert(QStringLiteral("DISPLAY"), QFile::decodeName(m_answering));
    startup::DisplayCheck check = startup::checkDisplay({}, variables, {}, 20s);
    QCOMPARE(check.verdict, Verdict::Reachable);
    QVERIFY(m_answeringServer->clientConnected());
    check.connection.reset();
    QVERIFY(!m_answeringServer->clientConnected());
}

void StartupChecksTest::findsTheInstalledPlatforms()
{
    // These tests run on the off-screen platform, so its plugin is there.
    const QStringList installed = startup::installedPlatforms({}, QProcessEnvironment::systemEnvironment());
    QVERIFY2(installed.contains(QStringLiteral("offscreen")), qPrintable(installed.join(u',')));
}

namespace {
QStringList seenLines;
void seeLine(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    seenLines << QStringLiteral("%1: %2").arg(QLatin1String(context.category), message);
}
} // namespace

// After prepare(), the toolkit's lines that repeat the program's are left out and the
// rest carry the program's category for the toolkit; the program's own pass unchanged.
void StartupChecksTest::toolkitLinesAreLabelledOrLeftOut()
{
    const QtMessageHandler previous = qInstallMessageHandler(seeLine);
    char name[] = "nihonshib";
    char *argv[] = {name, nullptr};
    QVERIFY(startup::prepare(1, argv));
    // As the sound output writes them: a string, quoted.
    qWarning() << QStringLiteral("Stream error: Entity killed");
    qWarning("PulseAudioService: pa_context_connect() failed");
    qWarning("QString::arg: Argument missing: Failed to get sink information: %%s, Timeout");
    qWarning("QStandardPaths: wrong permissions on runtime directory /run/user/1000, 0755 instead of 0700");
    const QLoggingCategory toolkits("qt.qpa.xcb");
    const QLoggingCategory ours("nihonshib.media");
    qCWarning(toolkits) << "something new";
    qCWarning(ours).noquote() << "音は鳴り始めましたが、0.4 秒で途切れました: 音声サーバーとの接続が切れました";
    qInstallMessageHandler(previous);
    QCOMPARE(seenLines, QStringList({"nihonshib.toolkit: qt.qpa.xcb: something new",
                                     "nihonshib.media: 音は鳴り始めましたが、0.4 秒で途切れました: 音声サーバーとの接続が切れました"}));
}

QTEST_GUILESS_MAIN(StartupChecksTest)
#include "tst_startupchecks.moc"
