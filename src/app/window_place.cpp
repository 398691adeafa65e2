#include "app/window_place.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include "platform/atomic_write.h"

namespace vidoria {

namespace {

// Below this the window's views cannot show their buttons.
constexpr int kSmallest = 200;

bool OnAScreen(const QRect& frame) {
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect shared = screen->availableGeometry().intersected(frame);
    // Enough of the title bar's width to grab it.
    if (shared.width() >= 100 && shared.height() >= 50) return true;
  }
  return false;
}

}  // namespace

QString WindowPlaceLine(const WindowPlace& place) {
  return QStringLiteral("%1 %2 %3 %4 %5 %6")
      .arg(place.frame.x())
      .arg(place.frame.y())
      .arg(place.frame.width())
      .arg(place.frame.height())
      .arg(place.treeWidth)
      .arg(place.maximized ? 1 : 0);
}

std::optional<WindowPlace> ParseWindowPlace(const QString& line) {
  const QStringList fields = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (fields.size() != 6) return std::nullopt;
  int values[6];
  for (int i = 0; i < 6; ++i) {
    bool ok = false;
    values[i] = fields[i].toInt(&ok);
    if (!ok) return std::nullopt;
  }
  if (values[2] < kSmallest || values[3] < kSmallest || values[4] < 0 || values[4] > values[2] ||
      (values[5] != 0 && values[5] != 1)) {
    return std::nullopt;
  }
  return WindowPlace{QRect(values[0], values[1], values[2], values[3]), values[4], values[5] == 1};
}

std::optional<WindowPlace> ReadWindowPlace(const QString& dataFolder) {
  QFile file(dataFolder + QLatin1String(kWindowPlaceFileName));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  std::optional<WindowPlace> place = ParseWindowPlace(QString::fromUtf8(file.readLine(200)));
  if (place && !OnAScreen(place->frame)) return std::nullopt;
  return place;
}

std::optional<QString> WriteWindowPlace(const QString& dataFolder, const WindowPlace& place) {
  const std::string path = (dataFolder + QLatin1String(kWindowPlaceFileName)).toStdString();
  const std::string line = WindowPlaceLine(place).toStdString() + "\r\n";
  if (auto written = WriteFileAtomically(path, line); !written) {
    return QString::fromStdString(written.Error().Text());
  }
  return std::nullopt;
}

}  // namespace vidoria
