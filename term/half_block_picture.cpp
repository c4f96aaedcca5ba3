#include "term/half_block_picture.h"

#include <algorithm>
#include <cstdlib>

namespace quillet::term {
namespace {

// The picture on white: transparent pixels show the white a captcha is drawn on.
QImage onWhite(const QImage& image) {
  QImage rgb(image.size(), QImage::Format_RGB32);
  rgb.fill(Qt::white);
  const QImage source = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) {
      const QRgb p = source.pixel(x, y);
      const int a = qAlpha(p);
      auto blend = [a](int c) { return (c * a + 255 * (255 - a)) / 255; };
      rgb.setPixel(x, y, qRgb(blend(qRed(p)), blend(qGreen(p)), blend(qBlue(p))));
    }
  }
  return rgb;
}

// The nearest colour of the 256-colour palette: the 6×6×6 cube (16-231) or
// the grey ramp (232-255).
int paletteIndex(QRgb colour) {
  const int r = qRed(colour), g = qGreen(colour), b = qBlue(colour);
  static constexpr int kLevels[] = {0, 95, 135, 175, 215, 255};
  auto level = [](int c) {
    int best = 0;
    for (int i = 1; i < 6; ++i) {
      if (std::abs(kLevels[i] - c) < std::abs(kLevels[best] - c)) best = i;
    }
    return best;
  };
  const int ri = level(r), gi = level(g), bi = level(b);
  auto distance = [&](int cr, int cg, int cb) {
    return (cr - r) * (cr - r) + (cg - g) * (cg - g) + (cb - b) * (cb - b);
  };
  const int cube = 16 + 36 * ri + 6 * gi + bi;
  const int cubeDistance = distance(kLevels[ri], kLevels[gi], kLevels[bi]);
  const int grey = std::clamp(((r + g + b) / 3 - 8 + 5) / 10, 0, 23);
  const int greyValue = 8 + 10 * grey;
  return distance(greyValue, greyValue, greyValue) < cubeDistance ? 232 + grey : cube;
}

QByteArray colourCode(QRgb colour, bool background, TerminalColours colours) {
  if (colours == TerminalColours::Palette256) {
    return (background ? "48;5;" : "38;5;") + QByteArray::number(paletteIndex(colour));
  }
  return (background ? "48;2;" : "38;2;") + QByteArray::number(qRed(colour)) + ';' +
         QByteArray::number(qGreen(colour)) + ';' + QByteArray::number(qBlue(colour));
}

QByteArray colourPicture(const QImage& rgb, TerminalColours colours) {
  QByteArray out;
  for (int y = 0; y < rgb.height(); y += 2) {
    for (int x = 0; x < rgb.width(); ++x) {
      out += QByteArrayLiteral("\x1b[") + colourCode(rgb.pixel(x, y), false, colours);
      if (y + 1 < rgb.height()) {
        out += ';' + colourCode(rgb.pixel(x, y + 1), true, colours);
      } else {
        out += QByteArrayLiteral(";49");  // an odd last line: the terminal's own background
      }
      out += QByteArrayLiteral("m\xe2\x96\x80");
    }
    out += QByteArrayLiteral("\x1b[0m\n");
  }
  return out;
}

// Ink and paper by brightness: a pixel darker than the middle between the
// darkest and the brightest of the picture is ink.
QByteArray plainPicture(const QImage& rgb) {
  int darkest = 255, brightest = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) {
      const int g = qGray(rgb.pixel(x, y));
      darkest = std::min(darkest, g);
      brightest = std::max(brightest, g);
    }
  }
  const int threshold = (darkest + brightest + 1) / 2;
  auto ink = [&](int x, int y) {
    return y < rgb.height() && darkest < brightest && qGray(rgb.pixel(x, y)) < threshold;
  };
  QByteArray out;
  for (int y = 0; y < rgb.height(); y += 2) {
    for (int x = 0; x < rgb.width(); ++x) {
      const bool top = ink(x, y), bottom = ink(x, y + 1);
      out += top && bottom ? QByteArrayLiteral("\xe2\x96\x88")
             : top         ? QByteArrayLiteral("\xe2\x96\x80")
             : bottom      ? QByteArrayLiteral("\xe2\x96\x84")
                           : QByteArrayLiteral(" ");
    }
    out += '\n';
  }
  return out;
}

}  // namespace

TerminalColours terminalColours() {
  if (!qEnvironmentVariableIsEmpty("NO_COLOR")) return TerminalColours::Plain;
  const QByteArray term = qgetenv("TERM");
  if (term.isEmpty() || term == "dumb") return TerminalColours::Plain;
  const QByteArray colourTerm = qgetenv("COLORTERM").toLower();
  if (colourTerm == "truecolor" || colourTerm == "24bit") return TerminalColours::TrueColour;
  if (term.contains("256color")) return TerminalColours::Palette256;
  return TerminalColours::Plain;
}

QByteArray halfBlockPicture(const QImage& image, TerminalColours colours) {
  if (image.isNull()) return {};
  const QImage rgb = onWhite(image);
  return colours == TerminalColours::Plain ? plainPicture(rgb) : colourPicture(rgb, colours);
}

}  // namespace quillet::term
