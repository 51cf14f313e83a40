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

// The families tried in order: the program's own font and its Latin name
// where the machine has them; otherwise a condensed sans for Latin text and
// digits and a proportional Japanese Gothic for the rest. No Japanese face a
// Linux desktop carries has both the narrow digits a 127-pixel date cell
// needs and the proportional kana a 101-pixel key cell needs, and the
// toolkit takes each script from the first family that has it.
QFont ToQFont(const Font& font);

// A list or grid whose selection must stay visible while another control
// has the focus: its inactive highlight is its active one.
void KeepSelectionVisibleWithoutFocus(QWidget& widget);
QColor ToQColor(Rgb rgb);

}  // namespace tavrin::qt
