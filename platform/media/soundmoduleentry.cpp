// The sound module itself: what the media device loads with the first sound file it
// reads. Only the entry function is exported.
#include "sounddecoder.h"
#include "soundmodule.h"
#include "soundplayer.h"

#include <utility>

namespace {

class SoundLibraries final : public SoundModule
{
public:
    std::optional<DecodedSound> decode(const QString &path, QString *error,
                                       const std::atomic<bool> *cancelled) const override
    {
        return decodeSoundFile(path, error, cancelled);
    }

    SoundOutput *newOutput(QObject *receiver, SoundOutputReports reports) const override
    {
        auto *player = new SoundPlayer;
        // Connected before the move, and queued at each report: the receiver lives in another thread.
        QObject::connect(player, &SoundPlayer::started, receiver, std::move(reports.started));
        QObject::connect(player, &SoundPlayer::finished, receiver, std::move(reports.finished));
        QObject::connect(player, &SoundPlayer::failed, receiver, std::move(reports.failed));
        player->moveToThread(::audioThread());
        return player;
    }

    QThread *audioThread() const override { return ::audioThread(); }
    bool audioThreadLeftRunning() const override { return ::audioThreadLeftRunning(); }
};

} // namespace

extern "C" Q_DECL_EXPORT const SoundModule *NIHONSHIB_SOUND_MODULE_ENTRY()
{
    static const SoundLibraries libraries;
    return &libraries;
}
