#include "signin/convert_image.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using quillet::convertImage;

namespace {

// A picture with a distinct colour in every corner and an odd width, so that
// row order, channel order and row padding all show in a decoded copy.
QImage testPicture(bool withAlpha) {
  QImage image(37, 11, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  image.fill(QColor(255, 255, 255));
  image.setPixelColor(0, 0, QColor(255, 0, 0));
  image.setPixelColor(36, 0, QColor(0, 255, 0));
  image.setPixelColor(0, 10, QColor(0, 0, 255));
  image.setPixelColor(36, 10, QColor(10, 20, 30));
  if (withAlpha) image.setPixelColor(18, 5, QColor(200, 100, 50, 128));
  return image;
}

std::string encodeWithQt(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

QImage decodeWithQt(const std::string& bytes) {
  return QImage::fromData(QByteArray::fromStdString(bytes));
}

std::string convert(const std::string& image, int format) {
  std::string out = "untouched";
  const bool ok = convertImage(image, format, {}, &out);
  return ok ? out : std::string("convertImage returned false");
}

void compareCorners(const QImage& decoded) {
  QCOMPARE(decoded.size(), QSize(37, 11));
  QCOMPARE(decoded.pixelColor(0, 0).rgb(), QColor(255, 0, 0).rgb());
  QCOMPARE(decoded.pixelColor(36, 0).rgb(), QColor(0, 255, 0).rgb());
  QCOMPARE(decoded.pixelColor(0, 10).rgb(), QColor(0, 0, 255).rgb());
  QCOMPARE(decoded.pixelColor(36, 10).rgb(), QColor(10, 20, 30).rgb());
  QCOMPARE(decoded.pixelColor(5, 5).rgb(), QColor(255, 255, 255).rgb());
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace

class ConvertImageTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void encodesEachFormatWithItsSignature_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("1 bmp") << 1 << QByteArray("BM");
    QTest::newRow("2 jpeg") << 2 << QByteArray("\xff\xd8\xff", 3);
    QTest::newRow("3 gif") << 3 << QByteArray("GIF8");
    QTest::newRow("4 tiff") << 4 << QByteArray("II*\0", 4);
    QTest::newRow("5 png") << 5 << QByteArray("\x89PNG\r\n\x1a\n", 8);
  }
  void encodesEachFormatWithItsSignature() {
    QFETCH(int, format);
    QFETCH(QByteArray, signature);
    const std::string png = encodeWithQt(testPicture(false), "PNG");
    const std::string out = convert(png, format);
    QVERIFY2(out.size() > std::size_t(signature.size()), out.c_str());
    QCOMPARE(QByteArray::fromStdString(out.substr(0, signature.size())), signature);
  }

  // The lossless encoders keep every pixel where it was: decoding the result
  // (TIFF through a second conversion, as Qt has no TIFF reader here) shows
  // the same picture.
  void losslessFormatsKeepThePicture_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("bmp") << 1;
    QTest::newRow("gif") << 3;
    QTest::newRow("tiff") << 4;
    QTest::newRow("png") << 5;
  }
  void losslessFormatsKeepThePicture() {
    QFETCH(int, format);
    const std::string png = encodeWithQt(testPicture(false), "PNG");
    std::string out = convert(png, format);
    if (format == 4) out = convert(out, 5);
    compareCorners(decodeWithQt(out));
  }

  void bitmapOfAnImageWithAlphaKeepsColoursInThirtyTwoBits() {
    const std::string png = encodeWithQt(testPicture(true), "PNG");
    const std::string bmp = convert(png, 1);
    QVERIFY(bmp.size() > 30);
    QCOMPARE(static_cast<unsigned char>(bmp[28]), 32u);  // bits per pixel
    QCOMPARE(bmp.size(), std::size_t(54 + 37 * 11 * 4));
    compareCorners(decodeWithQt(bmp));
  }

  // Qt writes JPEG and BMP itself; GIF and TIFF inputs come from our own
  // encoders, so every table format is also read back.
  void decodesOtherInputFormats_data() {
    QTest::addColumn<QByteArray>("qtFormat");
    QTest::addColumn<int>("viaFormat");
    QTest::newRow("jpeg in") << QByteArray("JPEG") << 0;
    QTest::newRow("bmp in") << QByteArray("BMP") << 0;
    QTest::newRow("gif in") << QByteArray("PNG") << 3;
    QTest::newRow("tiff in") << QByteArray("PNG") << 4;
  }
  void decodesOtherInputFormats() {
    QFETCH(QByteArray, qtFormat);
    QFETCH(int, viaFormat);
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 0));
    // A block rather than a pixel, so that JPEG's smoothing keeps it white.
    for (int y = 10; y < 20; ++y) {
      for (int x = 20; x < 30; ++x) picture.setPixelColor(x, y, QColor(255, 255, 255));
    }
    std::string input = encodeWithQt(picture, qtFormat.constData());
    if (viaFormat != 0) input = convert(input, viaFormat);
    QVERIFY(!input.empty());
    const QImage decoded = decodeWithQt(convert(input, 5));
    QCOMPARE(decoded.size(), QSize(30, 20));
    QVERIFY(qGray(decoded.pixel(0, 0)) < 8);
    QVERIFY(qGray(decoded.pixel(25, 15)) > 247);
  }

  void bytesThatAreNotAnImageGiveEmptyOutput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("format");
    QTest::newRow("empty") << QByteArray() << 3;
    QTest::newRow("html page") << QByteArray("<html><body>404</body></html>") << 3;
    QTest::newRow("time-out text") << QByteArray("\xb3\xac\xca\xb1\xb7\xb5\xbb\xd8") << 1;
    QTest::newRow("truncated png")
        << QByteArray::fromStdString(encodeWithQt(testPicture(false), "PNG").substr(0, 40)) << 5;
    QTest::newRow("zeros") << QByteArray(4096, '\0') << 2;
  }
  void bytesThatAreNotAnImageGiveEmptyOutput() {
    QFETCH(QByteArray, input);
    QFETCH(int, format);
    QCOMPARE(QByteArray::fromStdString(convert(input.toStdString(), format)), QByteArray());
  }

  void formatsOutsideTheTableChooseNoEncoder() {
    const std::string png = encodeWithQt(testPicture(false), "PNG");
    for (int format : {0, -1, 6, 100}) {
      QCOMPARE(QByteArray::fromStdString(convert(png, format)), QByteArray());
    }
  }

  void savePathIsTrimmedAndWritten() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string png = encodeWithQt(testPicture(false), "PNG");
    const QString path = dir.filePath(QStringLiteral("captcha.gif"));
    std::string result;
    QVERIFY(convertImage(png, 3, QStringLiteral("   ") + path + QStringLiteral("  "), &result));
    QVERIFY(!result.empty());
    QCOMPARE(readAll(path), QByteArray::fromStdString(result));
    // No untrimmed name was created beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("captcha.gif")});

    // Without a result argument the file is still written, and replaced.
    const QString again = dir.filePath(QStringLiteral("again.png"));
    QFile old(again);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older, longer content that must disappear entirely from the file");
    old.close();
    QVERIFY(convertImage(png, 5, again));
    QVERIFY(readAll(again).startsWith("\x89PNG"));
    compareCorners(QImage(again));
  }

  void blankSavePathWritesNothingAndJunkLeavesAFileAlone() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    const std::string png = encodeWithQt(testPicture(false), "PNG");
    std::string result;
    QVERIFY(convertImage(png, 3, QStringLiteral("   "), &result));
    QVERIFY(!result.empty());
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    const QString path = dir.filePath(QStringLiteral("keep.gif"));
    QFile keep(path);
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.write(result.data(), qint64(result.size()));
    keep.close();
    QVERIFY(convertImage("not an image", 3, path, &result));
    QVERIFY(result.empty());
    QCOMPARE(readAll(path).size(), qsizetype(QFileInfo(path).size()));
    QVERIFY(readAll(path).startsWith("GIF8"));
  }

  // Each conversion works on its own input: a second, different picture of
  // the same length never comes back as the first one.
  void consecutiveConversionsDoNotMixInputs() {
    QImage red(16, 16, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    QImage blue(16, 16, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    for (int round = 0; round < 5; ++round) {
      const QImage a = decodeWithQt(convert(encodeWithQt(red, "BMP"), 5));
      const QImage b = decodeWithQt(convert(encodeWithQt(blue, "BMP"), 5));
      QCOMPARE(a.pixelColor(8, 8).rgb(), QColor(255, 0, 0).rgb());
      QCOMPARE(b.pixelColor(8, 8).rgb(), QColor(0, 0, 255).rgb());
    }
  }
};

QTEST_MAIN(ConvertImageTest)
#include "convert_image_test.moc"
