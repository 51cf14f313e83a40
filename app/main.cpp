// Until the window exists, the program builds its form, runs its start-up
// and says what it is.
#include <cstdio>

#include "app/TForm1.h"
#include "platform/FilePaths.h"
#include "platform/ScriptedDialogs.h"
#include "platform/WindowHost.h"

namespace {
class NoWindow : public tavrin::WindowHost {
  void ShowModal(tavrin::Control&) override {}
  void RequestClose() override {}
  void ShowHelpContents(const std::string&) override {}
};
}  // namespace

int main(int argc, char** argv) {
  std::string self = tavrin::ExecutablePath(argc > 0 ? argv[0] : "tavrin");
  tavrin::ScriptedDialogs dialogs(tavrin::ProgramTitle(self));
  NoWindow host;
  tavrin::TForm1 form(dialogs, host, self);
  form.FormCreate();
  std::puts("Tavrin: the core is built and its start-up ran; the desktop window comes next.");
  return 0;
}
