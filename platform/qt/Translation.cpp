#include "platform/qt/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace tavrin::qt {

bool InstallJapaneseTranslation(QCoreApplication& application) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  // The application owns it from here, and consults it for as long as it runs.
  translator->setParent(&application);
  return QCoreApplication::installTranslator(translator.release());
}

}  // namespace tavrin::qt
