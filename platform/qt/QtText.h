#pragma once
// The one place where the program's CP932 text and the system's path bytes
// meet the toolkit's UTF-16 strings.

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "platform/controls/Control.h"

namespace tavrin::qt {

QString FromCp932(const std::string& cp932);
// Nothing when `text` holds a character CP932 cannot represent; `bad` then
// receives that character.
std::optional<std::string> ToCp932(const QString& text, QString* bad = nullptr);

// `text` with each character that a CP932 message could only name by its
// code point ("U+00E9", see codepage::CodePointName) shown beside its name:
// "U+00E9 (é)". Names of characters CP932 holds, or that have no glyph, stay
// as they are.
QString ShowNamedCharacters(const QString& text);

QString FromNativePath(const std::string& path);
std::string ToNativePath(const QString& path);

// The families tried in order: the program's own font, its Latin name, and a
// metric-compatible Japanese font that Linux desktops carry.
QFont ToQFont(const Font& font);

// A list or grid whose selection must stay visible while another control
// has the focus: its inactive highlight is its active one.
void KeepSelectionVisibleWithoutFocus(QWidget& widget);
QColor ToQColor(Rgb rgb);

}  // namespace tavrin::qt
