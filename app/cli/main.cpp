// tavrin-cli: the window's commands without a screen. Each file is shown on a
// form of its own, so nothing of one file can leak into the next.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/TForm1.h"
#include "app/cli/FormReport.h"
#include "platform/FilePaths.h"
#include "platform/ScriptedDialogs.h"
#include "platform/WindowHost.h"

namespace {

constexpr int kUsageError = 2;

constexpr const char* kHelp = R"(Usage: tavrin-cli show [--json [--hex]] FILE...

Shows the metadata of each FILE as the window's show command would: the
Summary Information and Document Summary Information property sets and the
file's creation, last-write and last-access times, with every message the
window would have shown.

  --json   one JSON document for the whole run:
           {"files": [{"path": ..., "grids": {"summary": [{"key": ..., "value": ...}, ...],
            "docsummary": [...], "filetime": [...]}, "messages": [{"caption": ..., "text": ...}]}]}
  --hex    with --json, each row also gives "hex": the value's exact CP932 bytes
  --help   this text

Exit status: 0 when no message was shown, 1 when any was, 2 for a usage error.

使い方: tavrin-cli show [--json [--hex]] ファイル...

各ファイルのメタデータを、ウィンドウの「表示」と同じ手順で読み取って出力します。
サマリー情報とドキュメント サマリー情報のプロパティ セット、ファイルの作成日時・
更新日時・アクセス日時、およびウィンドウが表示したはずのメッセージをすべて示します。

  --json   実行全体を一つの JSON 文書として出力します (形式は上記のとおり)
  --hex    --json と併用し、各行に値の CP932 バイト列 ("hex") を加えます
  --help   この説明を表示します

終了コード: メッセージなしは 0、メッセージありは 1、使い方の誤りは 2。
)";

class NoWindow : public tavrin::WindowHost {
 public:
  void ShowModal(tavrin::Control&) override {}
  void RequestClose() override {}
  void ShowHelpContents(const std::string&) override {}
};

int Usage(const char* problem) {
  std::fprintf(stderr, "tavrin-cli: %s\nTry 'tavrin-cli --help'.\n", problem);
  return kUsageError;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

int Show(const std::string& self, const std::vector<std::string>& files, bool json, bool hex) {
  const std::string title = tavrin::ProgramTitle(self);
  NoWindow host;
  bool anyMessage = false;
  if (json) Print("{\"files\":[");
  for (std::size_t i = 0; i < files.size(); ++i) {
    tavrin::ScriptedDialogs dialogs(title);
    tavrin::TForm1 form(dialogs, host, self);
    tavrin::RunHandler(dialogs, [&] { form.FormCreate(); });
    form.Edit1.SetText(files[i]);
    tavrin::RunHandler(dialogs, [&] { form.Button1Click(); });
    anyMessage = anyMessage || !dialogs.ShownBoxes().empty();
    tavrin::cli::FormReport report{files[i], form, dialogs.ShownBoxes()};
    if (json) {
      Print((i == 0 ? "" : ",") + tavrin::cli::RenderJson(report, hex));
    } else {
      Print(tavrin::cli::RenderText(report));
    }
  }
  if (json) Print("]}\n");
  return anyMessage ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("a command is needed");
  if (args[0] == "--help" || args[0] == "-h") {
    Print(kHelp);
    return 0;
  }
  if (args[0] != "show") return Usage("unknown command");
  bool json = false;
  bool hex = false;
  bool optionsDone = false;
  std::vector<std::string> files;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && arg == "--json") {
      json = true;
    } else if (!optionsDone && arg == "--hex") {
      hex = true;
    } else if (!optionsDone && (arg == "--help" || arg == "-h")) {
      Print(kHelp);
      return 0;
    } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option");
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.empty()) return Usage("no file given");
  if (hex && !json) return Usage("--hex goes with --json");
  return Show(tavrin::ExecutablePath(argv[0]), files, json, hex);
}
