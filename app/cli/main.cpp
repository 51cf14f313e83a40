// tavrin-cli: the window's commands without a screen. Each file is shown on a
// form of its own, so nothing of one file can leak into the next.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/TForm1.h"
#include "app/Version.h"
#include "app/cli/FormReport.h"
#include "app/cli/InOrder.h"
#include "app/cli/RowNames.h"
#include "grids/DefaultsPage.h"
#include "platform/CodePage.h"
#include "platform/FilePaths.h"
#include "platform/HeadlessWindowHost.h"
#include "platform/LockConflicts.h"
#include "platform/MemoryReuse.h"
#include "platform/ScriptedDialogs.h"
#include "platform/controls/EditMask.h"

namespace {

constexpr int kUsageError = 2;

constexpr const char* kHelp = R"(Usage: tavrin-cli show [--json [--hex]] [--jobs N] FILE...
       tavrin-cli update FILE [--set ROW=VALUE]... [--select ROW]... [--yes]
       tavrin-cli batch [--defaults FILE.dat] [--set ROW=VALUE]... [--select ROW]...
                        [--yes] [--wait MS] FILE...
       tavrin-cli --help | --version

Shows the metadata of each FILE as the window's show command would: the
Summary Information and Document Summary Information property sets and the
file's creation, last-write and last-access times, with every message the
window would have shown.

  --json   one JSON document for the whole run:
           {"files": [{"path": ..., "grids": {"summary": [{"key": ..., "value": ...}, ...],
            "docsummary": [...], "filetime": [...]}, "messages": [{"caption": ..., "text": ...}]}]}
  --hex    with --json, each row also gives "hex": the value's exact CP932 bytes
  --jobs N show up to N files at once (1 to 64; by default one per processor,
           at most 8); the output is the same, in the order given
  --help   this text
  --version  the program's version, as the window's About box shows it

Exit status: 0 when no message was shown, 1 when any was, 2 for a usage error.

update changes one FILE as the window's change command would. The file is
shown on a fresh form first; then exactly the rows named by --set and
--select are selected (a --set selects its row), the --set values replace
what was shown, and the change command runs: the question "更新しますか？",
the file's existence, the input checks of the selected rows, then the
Summary Information, the Document Summary Information and the file times.
Only selected rows are written; a property the file lacks is not added.

  --set ROW=VALUE   select ROW and give it VALUE (UTF-8, written as CP932)
  --select ROW      select ROW with the value the file showed
  --yes             answer the question with OK; without it the question is
                    asked on the terminal (y to go on), and with no terminal
                    the command refuses to run

Every message is printed as "message [caption]: text". Exit status: 0 when
no message was shown, 1 when any was or the question was answered no, 2 for
a usage error (or no terminal to ask on).

batch writes the default values into every FILE as the window's batch
command (一括更新) writes them into the selected files of its folder list, in
the order given. The defaults page of a fresh form is loaded from
--defaults (the 36-line file the window saves), then given the --set values;
exactly the rows named by --set and --select are selected. The command asks
"一括更新しますか？" and "本当に一括更新してもよろしいですか？" (both answered by
--yes), checks the selected default values (the editing time first), and
then, for each FILE: the existence test (a folder or a missing file ends the
whole batch there), a pause of 50 ms (--wait MS changes it, for scripts),
and the three writes. Output and exit status as for update.

ROW is SET:NAME, the name as the window shows it or its English alias:
@ROWS@

使い方: tavrin-cli show [--json [--hex]] [--jobs N] ファイル...
        tavrin-cli update ファイル [--set 行=値]... [--select 行]... [--yes]
        tavrin-cli --help | --version

各ファイルのメタデータを、ウィンドウの「表示」と同じ手順で読み取って出力します。
サマリー情報とドキュメント サマリー情報のプロパティ セット、ファイルの作成日時・
更新日時・アクセス日時、およびウィンドウが表示したはずのメッセージをすべて示します。

  --json   実行全体を一つの JSON 文書として出力します (形式は上記のとおり)
  --hex    --json と併用し、各行に値の CP932 バイト列 ("hex") を加えます
  --jobs N 最大 N 個のファイルを同時に読み取ります (1～64、既定はプロセッサ数で
           最大 8)。出力は同じで、指定した順のままです
  --help   この説明を表示します
  --version  バージョンを表示します (ウィンドウの「バージョン情報」と同じ)

終了コード: メッセージなしは 0、メッセージありは 1、使い方の誤りは 2。

update はウィンドウの「変更」と同じ手順でファイルを一つ更新します。まず新しい
フォームにファイルを表示し、--set と --select で指定した行だけを選択して
(--set はその行も選択します)、--set の値を入れてから変更を実行します: 確認
「更新しますか？」、ファイルの存在、選択した行の入力チェック、サマリー情報、
ドキュメント サマリー情報、ファイルの日時の順です。書き込むのは選択した行だけで、
ファイルにないプロパティは追加しません。

  --set 行=値     行を選択し、値 (UTF-8、CP932 で書き込み) を入れます
  --select 行     表示された値のまま行を選択します
  --yes           確認に OK と答えます。省略すると端末で確認し (y で続行)、
                  端末がなければ実行しません

メッセージはすべて "message [見出し]: 本文" の形で出力します。終了コード:
メッセージなしは 0、メッセージありまたは確認で中止したときは 1、使い方の誤り
(確認する端末がないときも) は 2。

batch はウィンドウの「一括更新」と同じ手順で、既定値を各ファイルに指定の順で
書き込みます。新しいフォームの規定値ページに --defaults のファイル (ウィンドウが
保存する 36 行のファイル) を読み込み、--set の値を入れ、--set と --select で指定
した行だけを選択します。確認「一括更新しますか？」と「本当に一括更新しても
よろしいですか？」(--yes で両方に答えます)、既定値の入力チェック (編集時間が
最初) のあと、ファイルごとに存在の確認 (フォルダや見つからないファイルがあれば
そこで全体を終了)、50 ミリ秒の待ち (--wait ミリ秒 で変更可)、三つの書き込みを
行います。出力と終了コードは update と同じです。

行は セット:名前 の形で、名前はウィンドウの表示どおりか英語の別名です (上の一覧)。
)";

// The help with the row names filled in from the row catalogue.
std::string HelpText() {
  std::string text = kHelp;
  const std::string_view mark = "@ROWS@\n";
  text.replace(text.find(mark), mark.size(), tavrin::cli::RowNameList());
  return text;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "tavrin-cli: %s\nTry 'tavrin-cli --help'.\n", problem);
  return kUsageError;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

// Questions go to the terminal; each box is still recorded like any other.
class TerminalDialogs : public tavrin::ScriptedDialogs {
 public:
  TerminalDialogs(std::string title, bool askOnTerminal)
      : ScriptedDialogs(std::move(title)), askOnTerminal_(askOnTerminal) {}

  bool Confirm(std::string_view text) override {
    if (askOnTerminal_) QueueAnswer(AskOnTerminal(tavrin::ConfirmCaption(), text));
    const bool answer = ScriptedDialogs::Confirm(text);
    declined_ = declined_ || !answer;
    return answer;
  }
  bool Warn(std::string_view text) override {
    if (askOnTerminal_) QueueAnswer(AskOnTerminal(tavrin::WarningCaption(), text));
    const bool answer = ScriptedDialogs::Warn(text);
    declined_ = declined_ || !answer;
    return answer;
  }
  bool Declined() const { return declined_; }

 private:
  static bool AskOnTerminal(std::string_view caption, std::string_view text) {
    using tavrin::codepage::Cp932ToUtf8;
    const std::string prompt = "[" + Cp932ToUtf8(caption) + "] " + Cp932ToUtf8(text) + " [y/N] ";
    std::fwrite(prompt.data(), 1, prompt.size(), stderr);
    std::fflush(stderr);
    std::string line;
    std::getline(std::cin, line);
    std::transform(line.begin(), line.end(), line.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Anything but a clear yes, the end of input included, is a cancel.
    return line == "y" || line == "yes";
  }

  bool askOnTerminal_;
  bool declined_ = false;
};

int Show(const std::string& self, const std::vector<std::string>& files, bool json, bool hex,
         unsigned jobs) {
  const std::string title = tavrin::ProgramTitle(self);
  bool anyMessage = false;
  // Every form starts from the same settings: they are read once.
  const tavrin::ProfileReader settings(tavrin::ProgramFilePath(self, ".ini"));
  // Into a file or a pipe, a run over thousands of files writes in large
  // pieces; a terminal still sees each file as it is shown.
  // (The C library sizes a buffer it allocates itself by the output's block,
  // whatever size is asked for: the buffer is given.)
  static char outputBuffer[1 << 16];
  if (!::isatty(STDOUT_FILENO)) std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  const auto showOne = [&](std::size_t i) {
    const std::uint64_t conflicts = tavrin::LockConflictsOnThisThread();
    tavrin::HeadlessWindowHost host;
    tavrin::ScriptedDialogs dialogs(title);
    tavrin::TForm1 form(dialogs, host, self);
    tavrin::RunHandler(dialogs, [&] { form.FormCreate(settings); });
    form.Edit1.SetText(files[i]);
    tavrin::RunHandler(dialogs, [&] { form.Button1Click(); });
    tavrin::cli::FormReport report{files[i], form, dialogs.ShownBoxes()};
    tavrin::cli::JobResult result;
    result.anyMessage = !dialogs.ShownBoxes().empty();
    result.text = json ? (i == 0 ? "" : ",") + tavrin::cli::RenderJson(report, hex)
                       : tavrin::cli::RenderText(report);
    // Two names of one file shown at once would keep each other out.
    result.retryAlone = tavrin::LockConflictsOnThisThread() != conflicts;
    return result;
  };
  if (json) Print("{\"files\":[");
  tavrin::cli::RunInOrder(files.size(), jobs, showOne, [&](const tavrin::cli::JobResult& result) {
    anyMessage = anyMessage || result.anyMessage;
    Print(result.text);
  });
  if (json) Print("]}\n");
  return anyMessage ? 1 : 0;
}

struct UpdateRequest {
  std::string file;
  struct Value {
    tavrin::cli::NamedRow row;
    std::string cp932;
    std::string given;  // ROW=VALUE as on the command line
  };
  std::vector<Value> values;
  std::vector<tavrin::cli::NamedRow> selected;
  bool yes = false;
};

tavrin::ValueListEditor& GridOf(tavrin::PageGrids page, tavrin::RowSet set) {
  switch (set) {
    case tavrin::RowSet::kSummary:
      return page.summary;
    case tavrin::RowSet::kDocSummary:
      return page.docSummary;
    case tavrin::RowSet::kFileTime:
      break;
  }
  return page.fileTime;
}

// Every box the form showed but the questions, and the exit status of a
// command that writes.
int ReportWrites(const std::string& heading, const TerminalDialogs& dialogs) {
  std::string out = "== " + heading + "\n";
  bool anyMessage = false;
  for (const auto& box : dialogs.ShownBoxes()) {
    if (box.kind == tavrin::ScriptedDialogs::Kind::kConfirm ||
        box.kind == tavrin::ScriptedDialogs::Kind::kWarn) {
      continue;
    }
    anyMessage = true;
    out += tavrin::cli::RenderBox(box);
  }
  Print(out);
  return anyMessage || dialogs.Declined() ? 1 : 0;
}

// Puts the --set values into their rows as the window's editors would leave
// them, or gives the usage error for one that no editor of its row could be
// left holding (an incomplete date, a day count with a sign ...). A value
// equal to what the row shows leaves the row alone, as leaving an unchanged
// cell does: it still holds what the file's read put there.
std::string EnterValues(tavrin::PageGrids page, const std::vector<UpdateRequest::Value>& values) {
  for (const UpdateRequest::Value& value : values) {
    tavrin::ValueListEditor& grid = GridOf(page, value.row.set);
    const std::string& shown = grid.Value(value.row.row);
    if (value.cp932 == shown) continue;
    const std::string& mask = grid.ItemProps(value.row.row).editMask;
    if (!mask.empty() && !tavrin::EditorCanLeaveWith(mask, shown, value.cp932)) {
      return "'" + value.given + "' does not fit the row's form " +
             tavrin::codepage::Cp932ToUtf8(mask) + " (0: a digit, 9: a digit or none)";
    }
    grid.SetValueAt(value.row.row, value.cp932);
  }
  return {};
}

// Selects exactly the rows asked for, whatever the form started with, and
// lets each list apply its rows' read-only state as a user's toggle would.
void SelectExactly(tavrin::TForm1& form, const std::vector<tavrin::cli::NamedRow>& rows) {
  using tavrin::RowSet;
  struct List {
    RowSet set;
    tavrin::CheckListBox& box;
    void (tavrin::TForm1::*applied)();
  };
  for (const List& list :
       {List{RowSet::kSummary, form.CheckListBox1, &tavrin::TForm1::CheckListBox1ClickCheck},
        List{RowSet::kFileTime, form.CheckListBox2, &tavrin::TForm1::CheckListBox2ClickCheck},
        List{RowSet::kDocSummary, form.CheckListBox3, &tavrin::TForm1::CheckListBox3ClickCheck}}) {
    for (int i = 0; i < list.box.Count(); ++i) {
      list.box.SetChecked(i, std::any_of(rows.begin(), rows.end(), [&](const auto& row) {
                            return row.set == list.set && row.row == i;
                          }));
    }
    (form.*list.applied)();
  }
}

int Update(const std::string& self, const UpdateRequest& request) {
  tavrin::HeadlessWindowHost host;
  TerminalDialogs dialogs(tavrin::ProgramTitle(self), !request.yes);
  if (request.yes) dialogs.QueueAnswer(true);
  tavrin::TForm1 form(dialogs, host, self);
  tavrin::RunHandler(dialogs, [&] { form.FormCreate(); });
  form.Edit1.SetText(request.file);
  tavrin::RunHandler(dialogs, [&] { form.Button1Click(); });
  SelectExactly(form, request.selected);
  if (std::string problem = EnterValues(form.TargetPage(), request.values); !problem.empty()) {
    return Usage(problem.c_str());
  }
  tavrin::RunHandler(dialogs, [&] { form.Button2Click(); });
  return ReportWrites(request.file, dialogs);
}

struct BatchRequest {
  std::string defaults;
  std::vector<UpdateRequest::Value> values;
  std::vector<tavrin::cli::NamedRow> selected;
  std::vector<std::string> files;
  std::chrono::milliseconds pause = tavrin::kBatchPause;
  bool yes = false;
};

int Batch(const std::string& self, const BatchRequest& request) {
  tavrin::HeadlessWindowHost host;
  TerminalDialogs dialogs(tavrin::ProgramTitle(self), !request.yes);
  dialogs.SetStandingAnswer(request.yes ? std::optional<bool>(true) : std::nullopt);
  tavrin::TForm1 form(dialogs, host, self);
  tavrin::RunHandler(dialogs, [&] { form.FormCreate(); });
  bool loaded = true;
  if (!request.defaults.empty()) {
    loaded = false;
    tavrin::RunHandler(dialogs, [&] {
      tavrin::LoadDefaultsFile(request.defaults, form.DefaultsPage());
      loaded = true;
    });
  }
  if (loaded) {
    SelectExactly(form, request.selected);
    if (std::string problem = EnterValues(form.DefaultsPage(), request.values); !problem.empty()) {
      return Usage(problem.c_str());
    }
    form.ShellListView1.ShowPaths(request.files);
    form.SetBatchPause(request.pause);
    tavrin::RunHandler(dialogs, [&] { form.Button13Click(); });
  }
  return ReportWrites("batch of " + std::to_string(request.files.size()) + " files", dialogs);
}

// The row of a --set or --select, or a usage error's text.
std::string ParseRow(std::string_view name, tavrin::cli::NamedRow& row) {
  std::optional<tavrin::cli::NamedRow> found = tavrin::cli::FindRow(name);
  if (!found) return "unknown row '" + std::string(name) + "' (see --help)";
  const std::span<const int> fixed = tavrin::FixedReadOnlyRows(found->set);
  if (std::find(fixed.begin(), fixed.end(), found->row) != fixed.end()) {
    return "row '" + std::string(name) + "' is never written";
  }
  row = *found;
  return {};
}

// The options update and batch share: --set, --select, --yes. Gives the
// usage error's text, or empty when `args[i]` (perhaps with its operand) was
// taken; `taken` tells whether it was one of them.
struct RowOptions {
  std::vector<UpdateRequest::Value> values;
  std::vector<tavrin::cli::NamedRow> selected;
  bool yes = false;
};

std::string TakeRowOption(const std::vector<std::string_view>& args, std::size_t& i,
                          RowOptions& options, bool& taken) {
  std::string_view arg = args[i];
  taken = true;
  if (arg == "--yes") {
    options.yes = true;
    return {};
  }
  if (arg != "--set" && arg != "--select") {
    taken = false;
    return {};
  }
  if (i + 1 == args.size()) return "--set and --select need a row";
  std::string_view operand = args[++i];
  const bool set = arg == "--set";
  const std::size_t equals = operand.find('=');
  if (set && equals == std::string_view::npos) return "--set needs ROW=VALUE";
  tavrin::cli::NamedRow row{};
  if (std::string problem = ParseRow(set ? operand.substr(0, equals) : operand, row);
      !problem.empty()) {
    return problem;
  }
  if (std::any_of(options.selected.begin(), options.selected.end(), [&](const auto& other) {
        return other.set == row.set && other.row == row.row;
      })) {
    return "a row is named twice";
  }
  options.selected.push_back(row);
  if (set) {
    tavrin::codepage::EncodeResult value =
        tavrin::codepage::Utf8ToCp932(operand.substr(equals + 1));
    if (!value.bytes) return "CP932 cannot hold '" + value.unrepresentable + "'";
    options.values.push_back({row, std::move(*value.bytes), std::string(operand)});
  }
  return {};
}

// Parses the arguments of update or batch: row options, `extra` for the
// command's own options, the files. Gives a usage error's text or empty.
std::string ParseWriteCommand(const std::vector<std::string_view>& args, RowOptions& options,
                              std::vector<std::string>& files,
                              const std::function<std::string(std::size_t& i, bool& taken)>& extra,
                              bool& help) {
  bool optionsDone = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    bool taken = false;
    if (!optionsDone && arg == "--") {
      optionsDone = true;
      continue;
    }
    if (!optionsDone && (arg == "--help" || arg == "-h")) {
      help = true;
      return {};
    }
    if (!optionsDone) {
      if (std::string problem = TakeRowOption(args, i, options, taken); !problem.empty()) {
        return problem;
      }
      if (!taken) {
        if (std::string problem = extra(i, taken); !problem.empty()) return problem;
      }
      if (taken) continue;
      if (arg.size() > 1 && arg[0] == '-') return "unknown option";
    }
    files.emplace_back(arg);
  }
  return {};
}

// Nothing is read or written until the questions can be answered.
bool CanAsk(bool yes) {
  return yes || ::isatty(STDIN_FILENO) != 0;
}

int RunUpdate(const std::string& self, const std::vector<std::string_view>& args) {
  RowOptions options;
  std::vector<std::string> files;
  bool help = false;
  std::string problem = ParseWriteCommand(
      args, options, files, [](std::size_t&, bool&) { return std::string(); }, help);
  if (help) {
    Print(HelpText());
    return 0;
  }
  if (!problem.empty()) return Usage(problem.c_str());
  if (files.size() != 1) return Usage("update takes one file");
  if (!CanAsk(options.yes)) {
    return Usage("no terminal to ask on; give --yes to update without asking");
  }
  return Update(self, {files.front(), options.values, options.selected, options.yes});
}

int RunBatch(const std::string& self, const std::vector<std::string_view>& args) {
  RowOptions options;
  BatchRequest request;
  bool help = false;
  std::string problem = ParseWriteCommand(
      args, options, request.files,
      [&](std::size_t& i, bool& taken) -> std::string {
        std::string_view arg = args[i];
        if (arg != "--defaults" && arg != "--wait") return {};
        taken = true;
        if (i + 1 == args.size()) return std::string(arg) + " needs a value";
        std::string_view operand = args[++i];
        if (arg == "--defaults") {
          request.defaults = std::string(operand);
          return {};
        }
        unsigned milliseconds = 0;
        auto [end, error] =
            std::from_chars(operand.data(), operand.data() + operand.size(), milliseconds);
        if (error != std::errc() || end != operand.data() + operand.size()) {
          return "--wait takes a number of milliseconds";
        }
        request.pause = std::chrono::milliseconds(milliseconds);
        return {};
      },
      help);
  if (help) {
    Print(HelpText());
    return 0;
  }
  if (!problem.empty()) return Usage(problem.c_str());
  if (request.files.empty()) return Usage("no file given");
  if (!CanAsk(options.yes)) {
    return Usage("no terminal to ask on; give --yes to run the batch without asking");
  }
  request.values = options.values;
  request.selected = options.selected;
  request.yes = options.yes;
  return Batch(self, request);
}

}  // namespace

int main(int argc, char** argv) {
  tavrin::KeepFreedMemoryForReuse();
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("a command is needed");
  if (args[0] == "--help" || args[0] == "-h") {
    Print(HelpText());
    return 0;
  }
  if (args[0] == "--version") {
    Print(std::string("tavrin-cli ") + tavrin::kVersion + "\n");
    return 0;
  }
  if (args[0] == "update") {
    return RunUpdate(tavrin::ExecutablePath(argv[0]), {args.begin() + 1, args.end()});
  }
  if (args[0] == "batch") {
    return RunBatch(tavrin::ExecutablePath(argv[0]), {args.begin() + 1, args.end()});
  }
  if (args[0] != "show") return Usage("unknown command");
  bool json = false;
  bool hex = false;
  unsigned jobs = tavrin::cli::DefaultJobs();
  bool optionsDone = false;
  std::vector<std::string> files;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && arg == "--jobs") {
      if (++i == args.size()) return Usage("--jobs needs a number");
      const std::string_view count = args[i];
      const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), jobs);
      if (error != std::errc() || end != count.data() + count.size() || jobs < 1 || jobs > 64) {
        return Usage("--jobs takes a number from 1 to 64");
      }
    } else if (!optionsDone && arg == "--json") {
      json = true;
    } else if (!optionsDone && arg == "--hex") {
      hex = true;
    } else if (!optionsDone && (arg == "--help" || arg == "-h")) {
      Print(HelpText());
      return 0;
    } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option");
    } else {
      files.emplace_back(arg);
    }
  }
  if (files.empty()) return Usage("no file given");
  if (hex && !json) return Usage("--hex goes with --json");
  return Show(tavrin::ExecutablePath(argv[0]), files, json, hex, jobs);
}
