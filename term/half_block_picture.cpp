#include "term/half_block_picture.h"

namespace quillet::term {

QByteArray halfBlockPicture(const QImage& image) {
  if (image.isNull()) return {};
  // Transparent pixels show the white a captcha is drawn on.
  QImage rgb(image.size(), QImage::Format_RGB32);
  rgb.fill(Qt::white);
  {
    QImage source = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < rgb.height(); ++y) {
      for (int x = 0; x < rgb.width(); ++x) {
        const QRgb p = source.pixel(x, y);
        const int a = qAlpha(p);
        auto blend = [a](int c) { return (c * a + 255 * (255 - a)) / 255; };
        rgb.setPixel(x, y, qRgb(blend(qRed(p)), blend(qGreen(p)), blend(qBlue(p))));
      }
    }
  }
  QByteArray out;
  for (int y = 0; y < rgb.height(); y += 2) {
    for (int x = 0; x < rgb.width(); ++x) {
      const QRgb top = rgb.pixel(x, y);
      const QRgb bottom = y + 1 < rgb.height() ? rgb.pixel(x, y + 1) : qRgb(0, 0, 0);
      out += QByteArrayLiteral("\x1b[38;2;") + QByteArray::number(qRed(top)) + ';' +
             QByteArray::number(qGreen(top)) + ';' + QByteArray::number(qBlue(top));
      if (y + 1 < rgb.height()) {
        out += QByteArrayLiteral(";48;2;") + QByteArray::number(qRed(bottom)) + ';' +
               QByteArray::number(qGreen(bottom)) + ';' + QByteArray::number(qBlue(bottom));
      } else {
        out += QByteArrayLiteral(";49");  // an odd last line: the terminal's own background
      }
      out += QByteArrayLiteral("m\xe2\x96\x80");
    }
    out += QByteArrayLiteral("\x1b[0m\n");
  }
  return out;
}

}  // namespace quillet::term
