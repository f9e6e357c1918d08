// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icon and pictures, built from the drawings compiled in as resources.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace tarn {

QIcon AppIcon();

// One of the program's own PNG drawings (a resource path), read by Qt's built-in PNG reader.
// Left to guess the format, QImageReader loads every image plug-in first to ask each of them.
QPixmap OwnPicture(const QString& path);

}  // namespace tarn
