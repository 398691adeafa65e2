#include "app/qr_code_widget.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTest>

namespace vidoria {

// Renders the widget as the screen would and reads it back with a real decoder (zbarimg).
class QrCodeWidgetTest : public QObject {
  Q_OBJECT

 private:
  // The widget's picture, saved into the test artifacts for a look when a case fails.
  QImage Render(QrCodeWidget& widget, const QString& name) {
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(QStringLiteral(VIDORIA_ARTIFACTS));
    const QString path = QStringLiteral(VIDORIA_ARTIFACTS "/") + name + QStringLiteral(".png");
    if (!image.save(path)) qFatal("cannot save %s", qPrintable(path));
    lastPath_ = path;
    return image;
  }

  QString Decode(const QString& path) {
    QProcess zbar;
    zbar.start(QStringLiteral(ZBARIMG), {QStringLiteral("--raw"), QStringLiteral("-q"), path});
    if (!zbar.waitForFinished(60000)) return QStringLiteral("<zbarimg did not finish>");
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
  }

  QString lastPath_;

 private slots:
  void initTestCase() {
    if (QStringLiteral(ZBARIMG).isEmpty()) QSKIP("zbarimg is not installed (zbar-tools)");
  }

  void AddressRoundTripsAtSeveralSizes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    const QString address = QStringLiteral("http://192.168.1.20:80/");
    QTest::newRow("square") << address << QSize(200, 200);
    QTest::newRow("odd-wide") << address << QSize(333, 251);
    QTest::newRow("two-pixel-modules") << address << QSize(70, 66);
    QTest::newRow("long-address")
        << QStringLiteral("http://fe80-0000-0000-0000-0000-0000-0000-0001.home.example:65535/")
        << QSize(300, 300);
  }

  void AddressRoundTripsAtSeveralSizes() {
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QrCodeWidget widget;
    widget.SetText(text);
    widget.resize(size);
    const QImage image = Render(widget, QStringLiteral("qr_code_") + QTest::currentDataTag());
    QCOMPARE(Decode(lastPath_), text);

    // Crisp: only pure black and pure white pixels, no blended edges.
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        QVERIFY2(pixel == qRgb(0, 0, 0) || pixel == qRgb(255, 255, 255),
                 qPrintable(QStringLiteral("blended pixel at %1,%2").arg(x).arg(y)));
        if (pixel == qRgb(0, 0, 0)) {
          left = std::min(left, x);
          top = std::min(top, y);
          right = std::max(right, x);
          bottom = std::max(bottom, y);
        }
      }
    }
    // A quiet zone of four whole modules on every side of the centred code.
    const QByteArray bytes = text.toUtf8();
    const int modules = EncodeQr(std::string_view(bytes.constData(), bytes.size())).size;
    const int side = modules + 2 * QrCodeWidget::kQuietModules;
    const int module = std::min(size.width(), size.height()) / side;
    QVERIFY(module >= 1);
    QCOMPARE(right - left + 1, modules * module);
    QCOMPARE(bottom - top + 1, modules * module);
    QCOMPARE(left, (size.width() - side * module) / 2 + 4 * module);
    QCOMPARE(top, (size.height() - side * module) / 2 + 4 * module);
  }

  void HiddenWhileTextIsEmpty() {
    QWidget window;
    auto* code = new QrCodeWidget(&window);
    window.show();
    QVERIFY(!code->isVisible());
    code->SetText(QStringLiteral("http://192.168.1.20:80/"));
    QVERIFY(code->isVisible());
    QVERIFY(code->sizeHint().width() > 0);
    code->SetText(QString());
    QVERIFY(!code->isVisible());
    QCOMPARE(code->sizeHint(), QSize(0, 0));
  }
};

}  // namespace vidoria

QTEST_MAIN(vidoria::QrCodeWidgetTest)
#include "qr_code_widget_test.moc"
