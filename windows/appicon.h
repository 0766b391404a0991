#pragma once

#include <QIcon>

// The application icon, a red ring around the red character 合, at every size it ships in.
QIcon applicationIcon();
