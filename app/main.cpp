// The program: one window over the form's controls.

#include <QApplication>
#include <QIcon>

#include "app/TAboutBox.h"
#include "app/TForm1.h"
#include "platform/FilePaths.h"
#include "platform/MemoryReuse.h"
#include "platform/qt/FormWindow.h"
#include "platform/qt/OpenFilePicker.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtText.h"
#include "platform/qt/Translation.h"

int main(int argc, char** argv) {
  tavrin::KeepFreedMemoryForReuse();
  QApplication application(argc, argv);
  application.setWindowIcon(QIcon(QStringLiteral(":/tavrin/icon.png")));
  const std::string self = tavrin::ExecutablePath(argc > 0 ? argv[0] : "tavrin");

  tavrin::qt::QtDialogs dialogs(tavrin::ProgramTitle(self));
  tavrin::qt::QtWindowHost host;
  tavrin::TForm1 form(dialogs, host, self);
  tavrin::qt::InstallJapaneseTranslation(application);
  form.OpenDialog1.SetPicker(tavrin::qt::PickFileToOpen);
  tavrin::RunHandler(dialogs, [&] { form.FormCreate(); });

  tavrin::TAboutBox aboutBox;
  form.AttachAboutBox(aboutBox);

  // Declared after the controls it shows, so its views go first at exit.
  tavrin::qt::FormWindow window(dialogs);
  dialogs.SetParent(&window);
  host.SetWindow(&window);
  window.Attach(form, &form.MainMenu1, [&form] { return form.FormCloseQuery(); });
  window.SetOnFilesDropped(
      [&form](const std::vector<std::string>& paths) { form.OpenFiles(paths); });
  window.ShowCentred();
  // Files named on the command line (QApplication has taken its own
  // options out), shown once the window is up, as a drop would be.
  const std::vector<std::string> files(argv + 1, argv + argc);
  tavrin::RunHandler(dialogs, [&] { form.OpenFiles(files); });
  return QApplication::exec();
}
