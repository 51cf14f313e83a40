// The program: one window over the form's controls.

#include <QApplication>
#include <QFileDialog>
#include <QIcon>

#include "app/TAboutBox.h"
#include "app/TForm1.h"
#include "platform/FilePaths.h"
#include "platform/MemoryReuse.h"
#include "platform/qt/FormWindow.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtText.h"

int main(int argc, char** argv) {
  tavrin::KeepFreedMemoryForReuse();
  QApplication application(argc, argv);
  application.setWindowIcon(QIcon(QStringLiteral(":/tavrin/icon.png")));
  const std::string self = tavrin::ExecutablePath(argc > 0 ? argv[0] : "tavrin");

  tavrin::qt::QtDialogs dialogs(tavrin::ProgramTitle(self));
  tavrin::qt::QtWindowHost host;
  tavrin::TForm1 form(dialogs, host, self);
  form.OpenDialog1.SetPicker([](const std::string& initial) -> std::optional<std::string> {
    QString chosen = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(),
                                                  tavrin::qt::FromNativePath(initial));
    if (chosen.isEmpty()) return std::nullopt;
    return tavrin::qt::ToNativePath(chosen);
  });
  tavrin::RunHandler(dialogs, [&] { form.FormCreate(); });

  tavrin::TAboutBox aboutBox;
  form.AttachAboutBox(aboutBox);

  // Declared after the controls it shows, so its views go first at exit.
  tavrin::qt::FormWindow window(dialogs);
  dialogs.SetParent(&window);
  host.SetWindow(&window);
  window.Attach(form, &form.MainMenu1, [&form] { return form.FormCloseQuery(); });
  window.ShowCentred();
  return QApplication::exec();
}
