#include "soundmodule.h"

#include "medialogging.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex loadingLock;
std::atomic<const SoundModule *> loaded{nullptr};

struct FileDescriptor
{
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

template<typename T>
bool readAt(QFile &file, qint64 offset, T *value)
{
    return file.seek(offset) && file.read(reinterpret_cast<char *>(value), sizeof(T)) == qint64(sizeof(T));
}

// Whether the file holds every part of itself that the loader maps. The loader maps a
// library cut short (a copy that did not finish) past the file's end all the same, and
// the first touch of the missing part ends the process with SIGBUS instead of failing
// the load. What the loader checks itself (the header, the kind of file) is left to it.
bool holdsAllItMaps(const QString &path)
{
    // Non-blocking, so that a pipe of that name cannot keep us waiting.
    const FileDescriptor descriptor{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat status {};
    QFile file;
    if (descriptor.fd < 0 || ::fstat(descriptor.fd, &status) != 0 || !S_ISREG(status.st_mode)
        || !file.open(descriptor.fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return true;
    ElfW(Ehdr) header{};
    if (!readAt(file, 0, &header) || header.e_phentsize != sizeof(ElfW(Phdr)))
        return true;
    const auto size = quint64(status.st_size);
    if (header.e_phoff > size || header.e_phnum > (size - header.e_phoff) / sizeof(ElfW(Phdr)))
        return false;
    for (quint64 i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) segment{};
        if (!readAt(file, qint64(header.e_phoff + i * sizeof(ElfW(Phdr))), &segment))
            return false;
        if (segment.p_type == PT_LOAD && (segment.p_offset > size || segment.p_filesz > size - segment.p_offset))
            return false;
    }
    return true;
}

} // namespace

const SoundModule *soundModule(QString *error)
{
    Q_ASSERT_X(!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread(),
               "soundModule", "the sound module is loaded away from the user-interface thread");
    const std::lock_guard<std::mutex> locker(loadingLock);
    if (const SoundModule *module = loaded.load(std::memory_order_acquire))
        return module;

    // The folder the program's file really lies in, as the system found it to start it.
    const QString folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (folder.isEmpty()) {
        *error = QStringLiteral("音声モジュールを読み込めません: プログラムのフォルダーがわかりません");
        return nullptr;
    }
    const QString path = folder + QLatin1Char('/') + QLatin1String(NIHONSHIB_SOUND_MODULE);
    if (!holdsAllItMaps(path)) {
        *error = QStringLiteral("音声モジュール %1 は途中で切れています").arg(path);
        return nullptr;
    }
    // The module's own symbols are all bound as it loads (it is linked with -z now), so
    // one that does not fit fails here; the libraries it brings bind theirs as they are
    // used, as they would linked into the program (binding them all now costs half again).
    void *handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle) {
        *error = QStringLiteral("音声モジュールを読み込めません: %1").arg(QString::fromLocal8Bit(::dlerror()));
        return nullptr;
    }
    const auto entry = reinterpret_cast<SoundModuleEntry>(::dlsym(handle, QT_STRINGIFY(NIHONSHIB_SOUND_MODULE_ENTRY)));
    const SoundModule *module = entry ? entry() : nullptr;
    if (!module) {
        ::dlclose(handle);
        *error = QStringLiteral("%1 はこのプログラムの音声モジュールではありません").arg(path);
        return nullptr;
    }
    qCDebug(lcMedia) << "loaded the sound module" << path;
    loaded.store(module, std::memory_order_release);
    return module;
}

const SoundModule *loadedSoundModule()
{
    return loaded.load(std::memory_order_acquire);
}

void endAtOnceIfAudioThreadLeftRunning(int status, void (*cleanUp)())
{
    const SoundModule *module = loadedSoundModule();
    if (!module || !module->audioThreadLeftRunning())
        return;
    if (cleanUp)
        cleanUp();
    std::fflush(nullptr);
    std::_Exit(status);
}
