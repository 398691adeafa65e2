// Build-time tool: lays out the user guide (HTML) and writes it as an A4 PDF.
// Usage: make_help_pdf GUIDE.html OUTPUT.pdf   (run with QT_QPA_PLATFORM=offscreen)
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_help_pdf GUIDE.html OUTPUT.pdf\n");
    return 2;
  }
  QFile source(QString::fromLocal8Bit(argv[1]));
  if (!source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "make_help_pdf: cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument document;
  document.setHtml(QString::fromUtf8(source.readAll()));

  // Written beside the target and renamed, so a failed run never leaves half a guide.
  const QString output = QString::fromLocal8Bit(argv[2]);
  const QString partial = output + QStringLiteral(".part");
  {
    QPdfWriter writer(partial);
    writer.setTitle(QStringLiteral("Vidoria 1.4 user guide"));
    writer.setCreator(QStringLiteral("Vidoria"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 16, 20, 16), QPageLayout::Millimeter));
    // The guide is laid out as on a 96 dpi screen (the sizes the style sheet was written for)
    // and scaled onto the page; the page's last lines hold the page number.
    constexpr qreal kLayoutDpi = 96;
    const qreal scale = writer.resolution() / kLayoutDpi;
    const QRectF paint = writer.pageLayout().paintRectPixels(writer.resolution());
    const QSizeF page(paint.width() / scale, paint.height() / scale);
    constexpr qreal kFooter = 28;
    document.setPageSize(QSizeF(page.width(), page.height() - kFooter));

    QPainter painter(&writer);
    painter.scale(scale, scale);
    QFont footerFont(QStringLiteral("DejaVu Sans"));
    footerFont.setPixelSize(11);
    const int pages = document.pageCount();
    for (int index = 0; index < pages; ++index) {
      if (index > 0) writer.newPage();
      const qreal height = document.pageSize().height();
      painter.save();
      painter.translate(0, -index * height);
      QAbstractTextDocumentLayout::PaintContext context;
      context.clip = QRectF(0, index * height, page.width(), height);
      document.documentLayout()->draw(&painter, context);
      painter.restore();
      painter.setFont(footerFont);
      painter.setPen(Qt::darkGray);
      painter.drawText(
          QRectF(0, page.height() - kFooter, page.width(), kFooter),
          Qt::AlignHCenter | Qt::AlignBottom,
          QStringLiteral("Vidoria 1.4 user guide \u2014 %1 / %2").arg(index + 1).arg(pages));
    }
  }
  QFile::remove(output);
  if (!QFile::rename(partial, output)) {
    std::fprintf(stderr, "make_help_pdf: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
