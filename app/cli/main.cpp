// tavrin-cli: the window's commands without a screen. Each file is shown on a
// form of its own, so nothing of one file can leak into the next.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/TForm1.h"
#include "app/Version.h"
#include "app/cli/Csv.h"
#include "app/cli/FileList.h"
#include "app/cli/FormReport.h"
#include "app/cli/InOrder.h"
#include "app/cli/Options.h"
#include "app/cli/Output.h"
#include "app/cli/Progress.h"
#include "app/cli/RowNames.h"
#include "app/cli/WriteOutcome.h"
#include "commands/BackupCopy.h"
#include "filetimes/KeptTimes.h"
#include "grids/DefaultsPage.h"
#include "platform/CodePage.h"
#include "platform/DocumentExtensions.h"
#include "platform/FilePaths.h"
#include "platform/HResultText.h"
#include "platform/HeadlessWindowHost.h"
#include "platform/LockConflicts.h"
#include "platform/MemoryReuse.h"
#include "platform/ScriptedDialogs.h"
#include "platform/WritePolicy.h"
#include "platform/controls/EditMask.h"
#include "propsets/RowReport.h"

namespace {

constexpr int kUsageError = 2;

constexpr const char* kHelp =
    R"(Usage: tavrin-cli show [--json [--hex] | --csv] [--jobs N] [LIST] FILE...
       tavrin-cli update [--set ROW=VALUE]... [--select ROW]... [--yes] [WRITE] [LIST] FILE...
       tavrin-cli batch [--defaults FILE.dat] [--set ROW=VALUE]... [--select ROW]...
                        [--yes] [--wait MS] [--keep-going] [WRITE] [LIST] FILE...
       tavrin-cli --help | --version
  LIST:  [--files-from FILE|- [--null]] [--recursive [--ext EXT,...]] [--quiet]
  WRITE: [--dry-run] [--keep-times] [--backup[=SUFFIX]] [--json]

Shows the metadata of each FILE as the window's show command would: the
Summary Information and Document Summary Information property sets and the
file's creation, last-write and last-access times. The rows go to standard
output under "== FILE"; every message the window would have shown goes to
standard error as "FILE: caption: text". In a name, control characters and
the backslash are written as C escapes (\n, \x1b, \\).

  --json   one JSON document for the whole run:
           {"files": [{"path": ..., "path_bytes": ..., "grids": {"summary":
            [{"key": ..., "alias": ..., "value": ...}, ...], "docsummary": [...],
            "filetime": [...]}, "messages": [{"caption": ..., "text": ...}]}]}
           "path" is null when the name's bytes are not UTF-8; "path_bytes"
           is always the name's bytes in hexadecimal
  --hex    with --json, each row also gives "hex": the value's exact CP932 bytes
  --csv    one line per file, a column per row (header: "path", then each
           ROW's alias), RFC 4180 quoting, UTF-8 after a byte order mark
  --jobs N show up to N files at once (1 to 64; by default one per processor,
           at most 8); the output is the same, in the order given
  --help   this text
  --version  the program's version, as the window's About box shows it

update changes each FILE as the window's change command would, one after
the other. The file is shown on a fresh form first; then exactly the rows
named by --set and --select are selected (a --set selects its row), the
--set values replace what was shown, and the change command runs: the
question "更新しますか？", the file's existence, the input checks of the
selected rows, then the Summary Information, the Document Summary
Information and the file times. Only selected rows are written; a property
the file lacks is not added.

  --set ROW=VALUE   select ROW and give it VALUE (UTF-8, written as CP932)
  --select ROW      select ROW with the value the file showed
  --yes             answer the question with OK; without it the question is
                    asked on the terminal (y to go on), and with no terminal
                    the command refuses to run

Options of update and batch that change how the files are written:
  --dry-run, -n     every question is taken as yes and every check runs, but
                    nothing is written; standard output lists, under "== FILE",
                    each row that would change ("ROW: 'old' -> 'new'") and
                    each selected row that would not be stored and why
  --keep-times, -P  each file's last-write and last-access times are put back
                    after the write, to the nanosecond, unless that time's
                    row is selected
  --backup[=SUFFIX] before a file's first write, copy it with its times to
                    FILE~ (or FILE and SUFFIX); an existing backup is never
                    replaced: that file fails and is not written. A file that
                    does not change gets no backup
  --json            one JSON document for the run:
                    {"dry_run": false, "files": [{"path": ..., "path_bytes": ...,
                     "status": "changed"|"unchanged"|"failed"|"not-processed",
                     "rows": [{"key": ..., "alias": ..., "old": ..., "new": ...,
                     "stored": true|false, "reason": ...}], "messages": [...]}]}
                    reason: same, missing, code-page, type, set-failed

Options of every command that choose the files (after those named):
  --files-from FILE  names read from FILE, one a line; "-" for standard input
                     (update and batch then need --yes)
  --null, -0         with --files-from, names end with NUL (find -print0)
  --recursive, -r    a folder stands for the files under it whose extension is
                     one of --ext (by default the documents this program knows:
                     @EXTENSIONS@), folders first, by name; hidden names and
                     links to folders are passed over
  --ext EXT,...      the extensions --recursive takes, without regard to case
  --quiet, -q        no progress line on the terminal

batch writes the default values into every FILE as the window's batch
command (一括更新) writes them into the selected files of its folder list, in
the order given. The defaults page of a fresh form is loaded from
--defaults (the 36-line file the window saves), then given the --set values;
exactly the rows named by --set and --select are selected. The command asks
"一括更新しますか？" and "本当に一括更新してもよろしいですか？" (both answered by
--yes), checks the selected default values (the editing time first), and
then, for each FILE: the existence test, a pause of 50 ms (--wait MS changes
it, for scripts), and the three writes. A folder or a missing file ends the
batch there, as in the window, and each file after it is reported as
"FILE: not processed"; --keep-going goes on past it.

Each file's messages are printed on standard error as soon as it is done;
on a terminal a progress line shows how far the run has come. Ctrl-C
(or SIGTERM) finishes the file being written and stops there.

Exit status: 0 when every file was done (the note that this file system
cannot set a creation time, and in show the message that a document has no
such property set, are not failures), 1 when any file failed or was not
processed (a question answered no included), 2 for a usage error (or no
terminal to ask on), 130 when interrupted.

A dry run, a file list or a folder that gives no file ends with status 0.

ROW is SET:NAME, the name as the window shows it or its English alias:
@ROWS@

使い方: tavrin-cli show [--json [--hex] | --csv] [--jobs N] [一覧] ファイル...
        tavrin-cli update [--set 行=値]... [--select 行]... [--yes] [書込] [一覧] ファイル...
        tavrin-cli batch [--defaults ファイル.dat] [--set 行=値]... [--select 行]...
                         [--yes] [--wait ミリ秒] [--keep-going] [書込] [一覧] ファイル...
        tavrin-cli --help | --version
  一覧: [--files-from ファイル|- [--null]] [--recursive [--ext 拡張子,...]] [--quiet]
  書込: [--dry-run] [--keep-times] [--backup[=接尾辞]] [--json]

各ファイルのメタデータを、ウィンドウの「表示」と同じ手順で読み取って出力します。
サマリー情報とドキュメント サマリー情報のプロパティ セット、ファイルの作成日時・
更新日時・アクセス日時を "== ファイル" に続けて標準出力に、ウィンドウが表示した
はずのメッセージを "ファイル: 見出し: 本文" の形で標準エラー出力に書きます。
ファイル名の制御文字と円記号 (\) は C のエスケープ (\n、\x1b、\\) で書きます。

  --json   実行全体を一つの JSON 文書として出力します (形式は上記のとおり。
           名前が UTF-8 でないとき "path" は null、"path_bytes" は常に名前の
           バイト列の 16 進表記)
  --hex    --json と併用し、各行に値の CP932 バイト列 ("hex") を加えます
  --csv    ファイルごとに 1 行、行ごとに 1 列の CSV (RFC 4180、BOM 付き UTF-8)
  --jobs N 最大 N 個のファイルを同時に読み取ります (1～64、既定はプロセッサ数で
           最大 8)。出力は同じで、指定した順のままです
  --help   この説明を表示します
  --version  バージョンを表示します (ウィンドウの「バージョン情報」と同じ)

update はウィンドウの「変更」と同じ手順で各ファイルを順に更新します。まず新しい
フォームにファイルを表示し、--set と --select で指定した行だけを選択して
(--set はその行も選択します)、--set の値を入れてから変更を実行します: 確認
「更新しますか？」、ファイルの存在、選択した行の入力チェック、サマリー情報、
ドキュメント サマリー情報、ファイルの日時の順です。書き込むのは選択した行だけで、
ファイルにないプロパティは追加しません。

  --set 行=値     行を選択し、値 (UTF-8、CP932 で書き込み) を入れます
  --select 行     表示された値のまま行を選択します
  --yes           確認に OK と答えます。省略すると端末で確認し (y で続行)、
                  端末がなければ実行しません

update と batch の書き込み方を変えるオプション:
  --dry-run, -n     確認にはすべて「はい」と答え、チェックもすべて行いますが、
                    何も書き込みません。変わる行 (旧 -> 新) と、保存されない
                    行とその理由をファイルごとに標準出力に示します
  --keep-times, -P  書き込み後、更新日時とアクセス日時をナノ秒まで元に戻します
                    (その日時の行を選択したときを除く)
  --backup[=接尾辞] 最初の書き込みの前に、ファイルを日時ごと ファイル~ (または
                    ファイル名+接尾辞) にコピーします。バックアップが既にあれば
                    上書きせず、そのファイルは失敗として書き込みません。変わらない
                    ファイルのバックアップは作りません
  --json            実行全体を一つの JSON 文書で出力します (形式は上記のとおり)

ファイルを選ぶオプション (すべてのコマンド、指定したファイルの後に加わります):
  --files-from ファイル  1 行に 1 つの名前を読みます。"-" は標準入力 (update と
                     batch では --yes が必要)
  --null, -0         --files-from の名前を NUL で区切ります (find -print0)
  --recursive, -r    フォルダーの下の、拡張子が --ext (既定はこのプログラムが扱う
                     文書: @EXTENSIONS@) のファイルを対象にします
  --ext 拡張子,...   --recursive が選ぶ拡張子 (大文字小文字を区別しません)
  --quiet, -q        端末に進行状況を表示しません

batch はウィンドウの「一括更新」と同じ手順で、既定値を各ファイルに指定の順で
書き込みます。新しいフォームの規定値ページに --defaults のファイル (ウィンドウが
保存する 36 行のファイル) を読み込み、--set の値を入れ、--set と --select で指定
した行だけを選択します。確認「一括更新しますか？」と「本当に一括更新しても
よろしいですか？」(--yes で両方に答えます)、既定値の入力チェック (編集時間が
最初) のあと、ファイルごとに存在の確認、50 ミリ秒の待ち (--wait ミリ秒 で変更
可)、三つの書き込みを行います。フォルダや見つからないファイルがあれば、
ウィンドウと同じくそこで終了し、残りのファイルを "ファイル: not processed" と
示します。--keep-going を付けると先へ進みます。

各ファイルのメッセージは、そのファイルが終わるとすぐ標準エラー出力に書きます。
端末では進行状況の行も表示します。Ctrl-C (または SIGTERM) を受けると、書き込み
中のファイルを終えてから止まります。

終了コード: すべてのファイルを処理できたときは 0 (このファイル システムでは作成
日時を変更できないという通知や、show で文書にプロパティ セットがないという
メッセージは失敗ではありません)、失敗または未処理のファイルがあるとき (確認で
中止したときも) は 1、使い方の誤り (確認する端末がないときも) は 2、中断した
ときは 130。

行は セット:名前 の形で、名前はウィンドウの表示どおりか英語の別名です (上の一覧)。
)";

// The help with the row names filled in from the row catalogue, and the
// document extensions from their list.
std::string HelpText() {
  std::string text = kHelp;
  const std::string_view mark = "@ROWS@\n";
  text.replace(text.find(mark), mark.size(), tavrin::cli::RowNameList());
  std::string extensions;
  for (std::string_view extension : tavrin::kDocumentExtensions) {
    extensions += (extensions.empty() ? "" : ", ") + std::string(extension);
  }
  const std::string_view place = "@EXTENSIONS@";
  for (std::size_t at; (at = text.find(place)) != std::string::npos;) {
    text.replace(at, place.size(), extensions);
  }
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
  // Once the run's questions are answered, the same answer stands for every
  // file after.
  void StopAsking() {
    askOnTerminal_ = false;
    SetStandingAnswer(true);
  }

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

constexpr int kFailed = 1;
constexpr int kInterrupted = 130;

enum class ShowAs { kText, kJson, kCsv };

int Show(const std::string& self, const std::vector<std::string>& files, ShowAs as, bool hex,
         unsigned jobs, bool quiet) {
  const bool json = as == ShowAs::kJson;
  const std::string title = tavrin::ProgramTitle(self);
  bool anyFailed = false;
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
    // A set the document lacks is shown as empty rows: the file was read.
    result.anyMessage = std::any_of(report.boxes.begin(), report.boxes.end(), [](const auto& box) {
      return !tavrin::cli::IsMissingSet(box) && !tavrin::cli::IsNote(box);
    });
    if (json) {
      result.text = (i == 0 ? "" : ",") + tavrin::cli::RenderJson(report, hex);
    } else if (as == ShowAs::kCsv) {
      result.text = tavrin::cli::CsvLine(report);
      result.errors = tavrin::cli::RenderMessages(report);
    } else {
      result.text = tavrin::cli::RenderText(report);
      result.errors = tavrin::cli::RenderMessages(report);
    }
    // Two names of one file shown at once would keep each other out.
    result.retryAlone = tavrin::LockConflictsOnThisThread() != conflicts;
    return result;
  };
  if (json) Print("{\"files\":[");
  if (as == ShowAs::kCsv)
    Print(std::string(tavrin::cli::kUtf8ByteOrderMark) + tavrin::cli::CsvHeader());
  // Rows on the same terminal would be drawn over.
  tavrin::cli::Progress progress(files.size(), !quiet && ::isatty(STDOUT_FILENO) == 0);
  std::size_t done = 0;
  if (!files.empty()) progress.Working(0, files[0]);
  tavrin::cli::RunInOrder(files.size(), jobs, showOne, [&](const tavrin::cli::JobResult& result) {
    anyFailed = anyFailed || result.anyMessage;
    progress.Clear();
    Print(result.text);
    if (!result.errors.empty()) {
      // The rows of a file come before what was said about it.
      std::fflush(stdout);
      std::fwrite(result.errors.data(), 1, result.errors.size(), stderr);
    }
    if (++done < files.size()) progress.Working(done, files[done]);
  });
  progress.Clear();
  if (json) Print("]}\n");
  return anyFailed ? kFailed : 0;
}

// Set by SIGINT and SIGTERM: the file being written is finished, and no
// other is begun.
volatile sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) {
  stopRequested = 1;
}

void StopOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void PrintError(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
}

// How a command that writes tells of each file.
struct WriteOutput {
  bool quiet = false;
  bool json = false;
  bool dryRun = false;
};

// What a command that writes tells of each file, as soon as it is done,
// and how the run ended.
class WriteReport {
 public:
  WriteReport(std::size_t total, WriteOutput how) : progress_(total, !how.quiet), how_(how) {
    if (how_.json)
      Print(std::string("{\"dry_run\":") + (how_.dryRun ? "true" : "false") + ",\"files\":[");
  }
  ~WriteReport() {
    if (how_.json) Print("]}\n");
    std::fflush(stdout);
  }
  WriteReport(const WriteReport&) = delete;
  WriteReport& operator=(const WriteReport&) = delete;

  void Working(std::size_t done, const std::string& path) { progress_.Working(done, path); }
  void Done(const tavrin::cli::FileOutcome& outcome) {
    using tavrin::cli::FileStatus;
    progress_.Clear();
    failed_ = failed_ || outcome.status == FileStatus::kFailed ||
              outcome.status == FileStatus::kNotProcessed;
    if (how_.json) {
      Print((first_ ? "" : ",") + tavrin::cli::RenderOutcomeJson(outcome));
      first_ = false;
      return;
    }
    if (how_.dryRun) {
      Print(tavrin::cli::RenderPlan(outcome));
      // The rows of a file come before what was said about it.
      std::fflush(stdout);
    }
    for (const auto& box : outcome.messages) {
      PrintError(tavrin::cli::MessageLine(outcome.path, box));
    }
    if (outcome.status == FileStatus::kNotProcessed) NotProcessed(outcome.path);
  }
  void NotProcessed(const std::string& path) {
    progress_.Clear();
    failed_ = true;
    if (how_.json) {
      Done({path, tavrin::cli::FileStatus::kNotProcessed, {}, {}});
      return;
    }
    PrintError(tavrin::cli::EscapedPath(path) + ": not processed\n");
  }
  void Fail() { failed_ = true; }
  int ExitStatus() const {
    if (stopRequested) return kInterrupted;
    return failed_ ? kFailed : 0;
  }

 private:
  tavrin::cli::Progress progress_;
  WriteOutput how_;
  bool failed_ = false;
  bool first_ = true;
};

// What one file's write is done under: the report its rows are told in,
// the rehearsal of a dry run, and the backup made before its first change.
class FileWrite {
 public:
  FileWrite(std::string path, bool dryRun, const std::optional<std::string>& backupSuffix,
            tavrin::Dialogs& dialogs)
      : path_(std::move(path)), reportScope_(report_), policyScope_(policy_) {
    policy_.rehearsal = dryRun;
    if (backupSuffix) {
      // Before anything of this run reads the file and moves its access
      // time.
      original_ = tavrin::KeptTimes::Take(path_);
      policy_.beforeWrite = [this, backup = path_ + *backupSuffix, &dialogs](const std::string&) {
        if (backupTried_) return backupResult_;
        backupTried_ = true;
        const auto& taken = original_.Taken();
        backupResult_ = tavrin::MakeBackupCopy(path_, backup, taken ? &*taken : nullptr);
        using tavrin::codepage::Cp932;
        if (backupResult_ == tavrin::STG_E_FILEALREADYEXISTS) {
          dialogs.Message(Cp932("バックアップ ") + tavrin::codepage::PathForMessage(backup) +
                          Cp932(" がすでにあるため、ファイルを変更しません"));
        } else if (tavrin::FAILED(backupResult_)) {
          dialogs.Message(Cp932("バックアップ ") + tavrin::codepage::PathForMessage(backup) +
                          Cp932(" を作れないため、ファイルを変更しません") + "\r\n" +
                          tavrin::HResultText(backupResult_));
        }
        return backupResult_;
      };
    }
  }
  FileWrite(const FileWrite&) = delete;
  FileWrite& operator=(const FileWrite&) = delete;

  // The file's outcome from the boxes its command showed. A selected row the
  // writes never told of was not reached (the file failed first) or belongs
  // to a set the document lacks.
  tavrin::cli::FileOutcome Outcome(const std::vector<tavrin::ScriptedDialogs::Shown>& boxes,
                                   const std::vector<tavrin::cli::NamedRow>& selected,
                                   tavrin::PageGrids page, bool declined) const;

 private:
  std::string path_;
  tavrin::RowReport report_;
  tavrin::WritePolicy policy_;
  tavrin::RowReportScope reportScope_;
  tavrin::WritePolicyScope policyScope_;
  tavrin::KeptTimes original_;
  bool backupTried_ = false;
  tavrin::HRESULT backupResult_ = tavrin::S_OK;
};

struct UpdateRequest {
  std::vector<std::string> files;
  std::vector<tavrin::cli::RowValue> values;
  std::vector<tavrin::cli::NamedRow> selected;
  bool yes = false;
  WriteOutput output;
  bool keepTimes = false;
  std::optional<std::string> backupSuffix;
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

tavrin::cli::FileOutcome FileWrite::Outcome(
    const std::vector<tavrin::ScriptedDialogs::Shown>& boxes,
    const std::vector<tavrin::cli::NamedRow>& selected, tavrin::PageGrids page,
    bool declined) const {
  using tavrin::cli::FileStatus;
  tavrin::cli::FileOutcome outcome{
      path_, FileStatus::kUnchanged, {}, tavrin::cli::MessagesOf(boxes)};
  const bool failed = std::any_of(outcome.messages.begin(), outcome.messages.end(),
                                  [](const auto& box) { return !tavrin::cli::IsNote(box); });
  for (const tavrin::cli::NamedRow& row : selected) {
    if (const tavrin::RowOutcome* told = report_.Find(row.set, row.row)) {
      outcome.rows.push_back(*told);
    } else {
      outcome.rows.push_back({row.set,
                              row.row,
                              {},
                              GridOf(page, row.set).Value(row.row),
                              failed ? tavrin::RowFate::kSetFailed : tavrin::RowFate::kMissing,
                              false});
    }
  }
  outcome.status = declined              ? FileStatus::kNotProcessed
                   : failed              ? FileStatus::kFailed
                   : report_.AnyStored() ? FileStatus::kChanged
                                         : FileStatus::kUnchanged;
  return outcome;
}

// Puts the --set values into their rows as the window's editors would leave
// them, or gives the usage error for one that no editor of its row could be
// left holding (an incomplete date, a day count with a sign ...). A value
// equal to what the row shows leaves the row alone, as leaving an unchanged
// cell does: it still holds what the file's read put there.
std::string EnterValues(tavrin::PageGrids page, const std::vector<tavrin::cli::RowValue>& values) {
  for (const tavrin::cli::RowValue& value : values) {
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

// Each file on a form of its own, one after the other, each reported as it
// is done.
int Update(const std::string& self, const UpdateRequest& request) {
  WriteReport report(request.files.size(), request.output);
  for (std::size_t i = 0; i < request.files.size(); ++i) {
    const std::string& file = request.files[i];
    if (stopRequested) {
      report.NotProcessed(file);
      continue;
    }
    report.Working(i, file);
    tavrin::HeadlessWindowHost host;
    TerminalDialogs dialogs(tavrin::ProgramTitle(self), !request.yes);
    if (request.yes) dialogs.SetStandingAnswer(true);
    tavrin::TForm1 form(dialogs, host, self);
    tavrin::RunHandler(dialogs, [&] { form.FormCreate(); });
    // Taken before the show: reading a document may move its access time.
    const bool keepTimes = request.keepTimes || request.output.dryRun;
    const tavrin::KeptTimes kept = keepTimes ? tavrin::KeptTimes::Take(file) : tavrin::KeptTimes();
    FileWrite write(file, request.output.dryRun, request.backupSuffix, dialogs);
    form.Edit1.SetText(file);
    tavrin::RunHandler(dialogs, [&] { form.Button1Click(); });
    // The show before the change says a set is missing; only a write that
    // fails for it is a failure.
    std::vector<tavrin::ScriptedDialogs::Shown> boxes;
    for (const auto& box : dialogs.ShownBoxes()) {
      if (!tavrin::cli::IsMissingSet(box)) boxes.push_back(box);
    }
    dialogs.Clear();
    SelectExactly(form, request.selected);
    if (std::string problem = EnterValues(form.TargetPage(), request.values); !problem.empty()) {
      for (std::size_t rest = i; rest < request.files.size(); ++rest) {
        report.NotProcessed(request.files[rest]);
      }
      return Usage(problem.c_str());
    }
    tavrin::RunHandler(dialogs, [&] { form.Button2Click(); });
    if (keepTimes) kept.PutBack(file, form.CheckListBox2, dialogs);
    // What the show already said of the file (it is missing, it is held)
    // is not said twice.
    for (const auto& box : dialogs.ShownBoxes()) {
      if (std::find(boxes.begin(), boxes.end(), box) == boxes.end()) boxes.push_back(box);
    }
    report.Done(write.Outcome(boxes, request.selected, form.TargetPage(), dialogs.Declined()));
  }
  return report.ExitStatus();
}

struct BatchRequest {
  std::string defaults;
  std::vector<tavrin::cli::RowValue> values;
  std::vector<tavrin::cli::NamedRow> selected;
  std::vector<std::string> files;
  std::chrono::milliseconds pause = tavrin::kBatchPause;
  bool yes = false;
  WriteOutput output;
  bool keepTimes = false;
  std::optional<std::string> backupSuffix;
  bool keepGoing = false;
};

// Tells whether the batch got past a file's existence test: it shows its
// progress only then.
class BatchHost : public tavrin::HeadlessWindowHost {
 public:
  void ShowProgress(int done, int) override { reached_ = reached_ || done > 0; }
  bool Reached() const { return reached_; }
  void Reset() { reached_ = false; }

 private:
  bool reached_ = false;
};

// The window's batch, run once over no file for its questions and the
// checks of the defaults, then once for each file: so every message is
// known to be about the file it came with, each file is reported as soon as
// it is done, and a stop between two files cuts no write.
int Batch(const std::string& self, const BatchRequest& request) {
  BatchHost host;
  TerminalDialogs dialogs(tavrin::ProgramTitle(self), !request.yes);
  dialogs.SetStandingAnswer(request.yes ? std::optional<bool>(true) : std::nullopt);
  tavrin::TForm1 form(dialogs, host, self);
  tavrin::RunHandler(dialogs, [&] { form.FormCreate(); });
  WriteReport report(request.files.size(), request.output);
  const auto noneProcessed = [&](std::size_t from) {
    if (stopRequested) {
      PrintError("tavrin-cli: interrupted: " + std::to_string(from) + " of " +
                 std::to_string(request.files.size()) + " files done\n");
    }
    for (std::size_t i = from; i < request.files.size(); ++i) report.NotProcessed(request.files[i]);
    return report.ExitStatus();
  };
  const auto batchFailed = [&] {
    for (const auto& box : tavrin::cli::MessagesOf(dialogs.ShownBoxes())) {
      PrintError(tavrin::cli::MessageLine("tavrin-cli", box));
    }
    report.Fail();
    return noneProcessed(0);
  };
  bool loaded = true;
  if (!request.defaults.empty()) {
    loaded = false;
    tavrin::RunHandler(dialogs, [&] {
      tavrin::LoadDefaultsFile(request.defaults, form.DefaultsPage());
      loaded = true;
    });
  }
  if (!loaded) return batchFailed();
  SelectExactly(form, request.selected);
  if (std::string problem = EnterValues(form.DefaultsPage(), request.values); !problem.empty()) {
    return Usage(problem.c_str());
  }
  form.SetBatchPause(request.pause);
  // A dry run reads every file: its access time goes back too.
  form.CheckBox13.SetChecked(request.keepTimes || request.output.dryRun);
  form.ShellListView1.ShowPaths({});
  tavrin::RunHandler(dialogs, [&] { form.Button13Click(); });
  if (dialogs.Declined() || !tavrin::cli::MessagesOf(dialogs.ShownBoxes()).empty()) {
    return batchFailed();
  }
  dialogs.StopAsking();
  for (std::size_t i = 0; i < request.files.size(); ++i) {
    const std::string& file = request.files[i];
    if (stopRequested) return noneProcessed(i);
    report.Working(i, file);
    dialogs.Clear();
    host.Reset();
    form.ShellListView1.ShowPaths({file});
    {
      FileWrite write(file, request.output.dryRun, request.backupSuffix, dialogs);
      tavrin::RunHandler(dialogs, [&] { form.Button13Click(); });
      report.Done(
          write.Outcome(dialogs.ShownBoxes(), request.selected, form.DefaultsPage(), false));
    }
    // The window ends its batch at a folder or a missing file.
    if (!host.Reached() && !request.keepGoing) return noneProcessed(i + 1);
  }
  return report.ExitStatus();
}

// Nothing is read or written until the questions can be answered.
bool CanAsk(bool yes) {
  return yes || ::isatty(STDIN_FILENO) != 0;
}

int Run(const std::string& self, const tavrin::cli::CommandLine& line) {
  if (line.command == "show" && line.csv && (line.json || line.hex)) {
    return Usage("--csv goes with neither --json nor --hex");
  }
  if (line.command == "show" && line.hex && !line.json) return Usage("--hex goes with --json");
  // A dry run writes nothing: there is nothing to ask before it.
  const bool yes = line.yes || line.dryRun;
  if (line.command != "show" && line.filesFrom == "-" && !yes) {
    return Usage("--files-from - takes standard input, where the questions are asked; give --yes");
  }
  if (line.nullSeparated && line.filesFrom.empty()) return Usage("--null goes with --files-from");
  std::vector<std::string> files;
  if (std::string problem = tavrin::cli::GatherFiles(line, files); !problem.empty()) {
    return Usage(problem.c_str());
  }
  if (files.empty()) {
    // A list or a walk that found nothing is no mistake in the command.
    if (!line.filesFrom.empty() || line.recursive) return 0;
    return Usage("no file given");
  }
  if (line.command == "show") {
    const ShowAs as = line.json ? ShowAs::kJson : line.csv ? ShowAs::kCsv : ShowAs::kText;
    return Show(self, files, as, line.hex, line.jobs, line.quiet);
  }
  if (!CanAsk(yes)) {
    return Usage("no terminal to ask on; give --yes to write without asking");
  }
  StopOnInterrupt();
  const WriteOutput output{line.quiet, line.json, line.dryRun};
  if (line.command == "update") {
    return Update(
        self, {files, line.values, line.selected, yes, output, line.keepTimes, line.backupSuffix});
  }
  BatchRequest request;
  request.defaults = line.defaults;
  request.values = line.values;
  request.selected = line.selected;
  request.files = std::move(files);
  request.pause = line.pause;
  request.yes = yes;
  request.output = output;
  request.keepTimes = line.keepTimes;
  request.backupSuffix = line.backupSuffix;
  request.keepGoing = line.keepGoing;
  return Batch(self, request);
}

}  // namespace

int main(int argc, char** argv) {
  tavrin::KeepFreedMemoryForReuse();
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    Print(std::string("tavrin-cli ") + tavrin::kVersion + "\n");
    return 0;
  }
  tavrin::cli::CommandLine line;
  line.jobs = tavrin::cli::DefaultJobs();
  if (std::string problem = tavrin::cli::ParseCommandLine(argc, argv, line); !problem.empty()) {
    return Usage(problem.c_str());
  }
  if (line.help) {
    Print(HelpText());
    return 0;
  }
  return Run(tavrin::ExecutablePath(argv[0]), line);
}
