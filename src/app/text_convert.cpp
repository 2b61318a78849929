#include "app/text_convert.h"

#include <QFile>

#include "common/code_page.h"

namespace korvelin {

QString ToQString(std::string_view ansi) {
  const std::string utf8 = AnsiToUtf8(ansi);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToAnsi(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToAnsi(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString PathToQString(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string QStringToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string CutAnsiText(std::string_view ansi, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < ansi.size()) {
    // In code page 936 a byte from 0x81 to 0xFE leads a two-byte character.
    const auto byte = static_cast<unsigned char>(ansi[end]);
    const std::size_t width = (byte >= 0x81 && byte <= 0xFE && end + 1 < ansi.size()) ? 2 : 1;
    if (end + width > maxBytes) break;
    end += width;
  }
  return std::string(ansi.substr(0, end));
}

}  // namespace korvelin
