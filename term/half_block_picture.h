#pragma once

#include <QByteArray>
#include <QImage>

namespace quillet::term {

/// `image` drawn for a terminal with 24-bit colours: each character cell is
/// the upper half block "▀" whose foreground is one pixel and background the
/// pixel below it, so a W×H picture takes W columns and ⌈H/2⌉ lines. Every
/// line ends with a colour reset and a line break. Empty for a null image.
QByteArray halfBlockPicture(const QImage& image);

}  // namespace quillet::term
