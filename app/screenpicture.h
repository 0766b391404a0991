#pragma once

#include <QPixmap>
#include <QString>

// A picture for the screen it is shown on: on a screen scaled beyond 100 % the
// variant drawn at twice the pixels (tools/make_pictures.py, make_figure.py), so that
// edges and text stay sharp rather than enlarged; at 100 % the plain one, which the
// build decodes ahead (resources/CMakeLists.txt).
QPixmap screenPicture(const QString &plain, const QString &doubled);
