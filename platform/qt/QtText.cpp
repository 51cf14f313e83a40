#include "platform/qt/QtText.h"

#include <QFile>
#include <QPalette>
#include <QRegularExpression>
#include <QStringList>

#include "platform/CodePage.h"

namespace tavrin::qt {

QString FromCp932(const std::string& cp932) {
  std::string utf8 = codepage::Cp932ToUtf8(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> ToCp932(const QString& text, QString* bad) {
  QByteArray utf8 = text.toUtf8();
  codepage::EncodeResult result = codepage::Utf8ToCp932(
      std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
  if (!result.bytes && bad != nullptr) {
    *bad = QString::fromUtf8(result.unrepresentable.data(),
                             static_cast<qsizetype>(result.unrepresentable.size()));
  }
  return std::move(result.bytes);
}

QString ShowNamedCharacters(const QString& text) {
  static const QRegularExpression kName(QStringLiteral("U\\+([0-9A-F]{4,6})(?![0-9A-F])"));
  QString shown;
  qsizetype copied = 0;
  for (const QRegularExpressionMatch& name : kName.globalMatch(text)) {
    const char32_t character = name.captured(1).toUInt(nullptr, 16);
    if (character > 0x10FFFF || QChar::isSurrogate(character) || !QChar::isPrint(character)) {
      continue;
    }
    const QString glyph = QString::fromUcs4(&character, 1);
    if (ToCp932(glyph)) continue;
    shown += text.mid(copied, name.capturedEnd() - copied) + QStringLiteral(" (") + glyph + u')';
    copied = name.capturedEnd();
  }
  return shown + text.mid(copied);
}

QString FromNativePath(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string ToNativePath(const QString& path) {
  QByteArray bytes = QFile::encodeName(path);
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QFont ToQFont(const Font& font) {
  QFont qfont;
  QStringList families{FromCp932(font.name), QStringLiteral("MS PGothic"),
                       QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("IPAPGothic"),
                       QStringLiteral("IPAGothic")};
  families.removeAll(QString());
  qfont.setFamilies(families);
  qfont.setPixelSize(font.pixelHeight);
  qfont.setBold(font.bold);
  return qfont;
}

void KeepSelectionVisibleWithoutFocus(QWidget& widget) {
  QPalette palette = widget.palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  }
  widget.setPalette(palette);
}

QColor ToQColor(Rgb rgb) {
  return QColor(rgb.r, rgb.g, rgb.b);
}

}  // namespace tavrin::qt
