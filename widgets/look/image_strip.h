// The program's bitmap strips: horizontal rows of square images, built into
// the resource of target myzelk_images, with magenta standing for transparent.
#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

// The strips compiled into the program.
inline constexpr const char* kTreeStrip = ":/bitmaps/130.png";         // 42 images, 16x16
inline constexpr const char* kToolbarStrip = ":/bitmaps/132.png";      // 20 images, 32x32
inline constexpr const char* kSmallToolbarStrip = ":/bitmaps/141.png"; // 20 images, 16x16
inline constexpr const char* kProgramIcon = ":/bitmaps/myzelk.png";
inline constexpr int kTreeStripCount = 42;
inline constexpr int kToolbarStripCount = 20;

// The colour the strips paint where they are transparent.
inline const QColor kStripMask{0xFF, 0x00, 0xFF};

// Cuts a horizontal strip of square images of `size` pixels into pixmaps, the
// pixels of colour `mask` made transparent. An unreadable resource or a bad
// size gives an empty list; a width that is not a multiple of `size` drops the
// part that does not fill a whole image.
QList<QPixmap> LoadImageStrip(const QString& resource, int size, QColor mask = kStripMask);

// The same, as icons.
QList<QIcon> LoadIconStrip(const QString& resource, int size, QColor mask = kStripMask);
