#include "appicon.h"

QIcon applicationIcon()
{
    // Built once: the program, the exam window and each secondary window all ask for it.
    static const QIcon icon = [] {
        QIcon sizes;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            sizes.addFile(QStringLiteral(":/icons/app-%1.png").arg(size), QSize(size, size));
        return sizes;
    }();
    return icon;
}
