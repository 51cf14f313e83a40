#include "app/TForm1.h"

#include <filesystem>

#include "app/Settings.h"
#include "commands/BatchCommand.h"
#include "commands/ShowCommand.h"
#include "commands/UpdateCommand.h"
#include "filetimes/FileDate.h"
#include "filetimes/KeptTimes.h"
#include "grids/DefaultsPage.h"
#include "grids/EditingRules.h"
#include "grids/RowSelection.h"
#include "platform/CodePage.h"
#include "platform/FilePaths.h"
#include "propsets/PropertyReads.h"
#include "propsets/PropertyWrites.h"

namespace tavrin {
namespace {

using codepage::Cp932;

constexpr Rect kTargetSummaryGroup{8, 8, 249, 449};
constexpr Rect kDocSummaryGroup{264, 8, 249, 337};
constexpr Rect kFileTimeGroup{264, 352, 249, 105};
constexpr Rect kDateSetGroup{520, 8, 105, 201};
constexpr Rect kSummaryGrid{8, 16, 234, 369};
constexpr Rect kDocSummaryGrid{8, 16, 234, 313};
constexpr Rect kFileTimeGrid{8, 16, 234, 81};

// The date-set groups stack their six check boxes from the top and put the
// two buttons side by side at the bottom.
constexpr Rect DateSetCheckBox(int i) {
  return {8, 16 + 24 * i, 89, 17};
}
constexpr Rect kNowButton{8, 168, 41, 25};
constexpr Rect kZeroButton{56, 168, 41, 25};

Font FormFont() {
  return {Cp932("ＭＳ Ｐゴシック"), 12, false, {}};
}
Font Bold(Font font) {
  font.bold = true;
  return font;
}
Font OfHeight(Font font, int pixels) {
  font.pixelHeight = pixels;
  return font;
}
Font Coloured(Font font, Rgb colour) {
  font.colour = colour;
  return font;
}

void SetUpGrid(ValueListEditor& grid, RowSet set) {
  grid.SetTitleCaptions(Cp932("プロパティ"), Cp932("値"));
  AddRows(grid, set);
}

}  // namespace

TForm1::TForm1(Dialogs& dialogs, WindowHost& host, std::string executablePath)
    : Control("Form1", nullptr, {0, 0, 800, 600}),
      Label1("Label1", this, {16, 0, 0, 0}),
      PageControl1("PageControl1", this, {8, 16, 641, 521}),
      TabSheet1("TabSheet1", &PageControl1, {}),
      TabSheet2("TabSheet2", &PageControl1, {}),
      TabSheet3("TabSheet3", &PageControl1, {}),
      GroupBox7("GroupBox7", this, {656, 0, 129, 233}),
      CheckListBox1("CheckListBox1", &GroupBox7, {8, 16, 113, 209}),
      GroupBox11("GroupBox11", this, {655, 240, 129, 193}),
      CheckListBox3("CheckListBox3", &GroupBox11, {8, 16, 113, 169}),
      GroupBox8("GroupBox8", this, {656, 440, 129, 65}),
      CheckListBox2("CheckListBox2", &GroupBox8, {8, 16, 113, 41}),
      Button8("Button8", this, {656, 512, 129, 25}),
      OpenDialog1("OpenDialog1", this, {}),
      MainMenu1("MainMenu1", this, {}),
      Help1("Help1", &MainMenu1, {}),
      TavrinHelp1("TavrinHelp1", &Help1, {}),
      About1("About1", &Help1, {}),
      GroupBox2("GroupBox2", &TabSheet1, kTargetSummaryGroup),
      ValueListEditor1("ValueListEditor1", &GroupBox2, kSummaryGrid),
      GroupBox9("GroupBox9", &TabSheet1, kDocSummaryGroup),
      ValueListEditor5("ValueListEditor5", &GroupBox9, kDocSummaryGrid),
      GroupBox3("GroupBox3", &TabSheet1, kFileTimeGroup),
      ValueListEditor3("ValueListEditor3", &GroupBox3, kFileTimeGrid),
      GroupBox1("GroupBox1", &TabSheet1, kDateSetGroup),
      CheckBox1("CheckBox1", &GroupBox1, DateSetCheckBox(0)),
      CheckBox2("CheckBox2", &GroupBox1, DateSetCheckBox(1)),
      CheckBox3("CheckBox3", &GroupBox1, DateSetCheckBox(2)),
      CheckBox4("CheckBox4", &GroupBox1, DateSetCheckBox(3)),
      CheckBox5("CheckBox5", &GroupBox1, DateSetCheckBox(4)),
      CheckBox6("CheckBox6", &GroupBox1, DateSetCheckBox(5)),
      Button9("Button9", &GroupBox1, kNowButton),
      Button14("Button14", &GroupBox1, kZeroButton),
      Button1("Button1", &TabSheet1, {520, 264, 105, 33}),
      Button2("Button2", &TabSheet1, {520, 304, 105, 33}),
      Button11("Button11", &TabSheet1, {520, 344, 105, 33}),
      Button5("Button5", &TabSheet1, {520, 384, 105, 33}),
      Button4("Button4", &TabSheet1, {520, 424, 105, 33}),
      Label2("Label2", &TabSheet1, {16, 472, 0, 0}),
      Edit1("Edit1", &TabSheet1, {80, 466, 409, 20}),
      Button3("Button3", &TabSheet1, {488, 464, 25, 25}),
      Button16("Button16", &TabSheet1, {520, 464, 105, 25}),
      GroupBox4("GroupBox4", &TabSheet2, kTargetSummaryGroup),
      ValueListEditor2("ValueListEditor2", &GroupBox4, kSummaryGrid),
      GroupBox10("GroupBox10", &TabSheet2, kDocSummaryGroup),
      ValueListEditor6("ValueListEditor6", &GroupBox10, kDocSummaryGrid),
      GroupBox5("GroupBox5", &TabSheet2, kFileTimeGroup),
      ValueListEditor4("ValueListEditor4", &GroupBox5, kFileTimeGrid),
      GroupBox6("GroupBox6", &TabSheet2, kDateSetGroup),
      CheckBox7("CheckBox7", &GroupBox6, DateSetCheckBox(0)),
      CheckBox8("CheckBox8", &GroupBox6, DateSetCheckBox(1)),
      CheckBox9("CheckBox9", &GroupBox6, DateSetCheckBox(2)),
      CheckBox10("CheckBox10", &GroupBox6, DateSetCheckBox(3)),
      CheckBox11("CheckBox11", &GroupBox6, DateSetCheckBox(4)),
      CheckBox12("CheckBox12", &GroupBox6, DateSetCheckBox(5)),
      Button10("Button10", &GroupBox6, kNowButton),
      Button15("Button15", &GroupBox6, kZeroButton),
      Button7("Button7", &TabSheet2, {520, 344, 105, 33}),
      Button6("Button6", &TabSheet2, {520, 384, 105, 33}),
      Button12("Button12", &TabSheet2, {520, 424, 105, 33}),
      ShellListView1("ShellListView1", &TabSheet3, {8, 8, 585, 385}),
      ShellComboBox1("ShellComboBox1", &TabSheet3, {8, 416, 273, 22}),
      Button13("Button13", &TabSheet3, {520, 408, 73, 33}),
      CheckBox13("CheckBox13", &TabSheet3, {296, 418, 129, 17}),
      dialogs_(dialogs),
      host_(host),
      executablePath_(std::move(executablePath)) {
  BuildLayout();
  ConnectHandlers();
}

void TForm1::BuildLayout() {
  const Font font = FormFont();
  SetCaption("Tavrin");
  SetFont(font);

  Label1.SetCaption(
      "The Summary Information Property Set / The Document Summary Information Set / File Date "
      "Time");
  Label1.SetFont(Bold(font));
  TabSheet1.SetCaption(Cp932("対象"));
  TabSheet2.SetCaption(Cp932("規定値"));
  TabSheet3.SetCaption(Cp932("一括"));
  PageControl1.SetActivePageIndex(0);

  for (GroupBox* group : {&GroupBox7, &GroupBox11}) {
    group->SetCaption(Cp932("選択項目"));
    group->SetFont(OfHeight(font, 11));
  }
  GroupBox8.SetCaption(Cp932("選択項目(File Time)"));
  GroupBox8.SetFont(OfHeight(font, 11));
  AddItems(CheckListBox1, RowSet::kSummary);
  AddItems(CheckListBox3, RowSet::kDocSummary);
  AddItems(CheckListBox2, RowSet::kFileTime);
  for (CheckListBox* list : {&CheckListBox1, &CheckListBox2, &CheckListBox3}) {
    list->SetItemHeight(11);
  }
  Button8.SetCaption(Cp932("終了"));
  Help1.SetCaption("&Help");
  TavrinHelp1.SetCaption("TavrinHelp");
  About1.SetCaption("About");

  for (GroupBox* group : {&GroupBox2, &GroupBox4}) {
    group->SetCaption("The Summary Information Property Set");
  }
  for (GroupBox* group : {&GroupBox9, &GroupBox10}) {
    group->SetCaption("The Document Summary Information Set");
  }
  for (GroupBox* group : {&GroupBox3, &GroupBox5}) group->SetCaption("File Date Time");
  SetUpGrid(ValueListEditor1, RowSet::kSummary);
  SetUpGrid(ValueListEditor2, RowSet::kSummary);
  SetUpGrid(ValueListEditor5, RowSet::kDocSummary);
  SetUpGrid(ValueListEditor6, RowSet::kDocSummary);
  SetUpGrid(ValueListEditor3, RowSet::kFileTime);
  SetUpGrid(ValueListEditor4, RowSet::kFileTime);
  ValueListEditor4.SetColWidth(0, 102);
  ValueListEditor4.SetColWidth(1, 126);
  const Font navy = Coloured(font, kDefaultsPageColours.normal);
  for (ValueListEditor* grid : {&ValueListEditor2, &ValueListEditor6, &ValueListEditor4}) {
    grid->SetFont(navy);
  }

  const char* dateSetCaptions[] = {"印刷日時",    "作成日時",    "最終更新日時",
                                   "作成日時(F)", "更新日時(F)", "アクセス(F)"};
  CheckBox* targetBoxes[] = {&CheckBox1, &CheckBox2, &CheckBox3,
                             &CheckBox4, &CheckBox5, &CheckBox6};
  CheckBox* defaultBoxes[] = {&CheckBox7,  &CheckBox8,  &CheckBox9,
                              &CheckBox10, &CheckBox11, &CheckBox12};
  for (int i = 0; i < 6; ++i) {
    targetBoxes[i]->SetCaption(Cp932(dateSetCaptions[i]));
    defaultBoxes[i]->SetCaption(Cp932(dateSetCaptions[i]));
  }
  for (GroupBox* group : {&GroupBox1, &GroupBox6}) group->SetCaption(Cp932("日時セット"));
  for (Button* now : {&Button9, &Button10}) now->SetCaption(Cp932("現在"));
  for (Button* zero : {&Button14, &Button15}) zero->SetCaption(Cp932("ゼロ"));

  Button1.SetCaption(Cp932("表示"));
  Button2.SetCaption(Cp932("変更"));
  Button11.SetCaption(Cp932("クリア"));
  Button5.SetCaption(Cp932("対象 <- 規定値"));
  Button4.SetCaption(Cp932("対象 -> 規定値"));
  Label2.SetCaption(Cp932("ファイル名"));
  Edit1.SetHoldsFileName(true);
  Button3.SetCaption("...");
  Button16.SetCaption(Cp932("ファイル名クリア"));
  Button7.SetCaption(Cp932("読込"));
  Button6.SetCaption(Cp932("保存"));
  Button12.SetCaption(Cp932("クリア"));
  Button13.SetCaption(Cp932("一括更新"));
  CheckBox13.SetCaption(Cp932("更新日時を保持"));
  for (Button* bold : {&Button2, &Button5, &Button4, &Button13}) bold->SetFont(Bold(font));
}

void TForm1::ConnectHandlers() {
  Button1.SetOnClick([this] { Button1Click(); });
  Button2.SetOnClick([this] { Button2Click(); });
  Button3.SetOnClick([this] { Button3Click(); });
  Button16.SetOnClick([this] { Button16Click(); });
  Edit1.SetOnReturnPressed([this] { Edit1ReturnPressed(); });
  Button8.SetOnClick([this] { Button8Click(); });
  Button4.SetOnClick([this] { Button4Click(); });
  Button5.SetOnClick([this] { Button5Click(); });
  Button6.SetOnClick([this] { Button6Click(); });
  Button7.SetOnClick([this] { Button7Click(); });
  Button9.SetOnClick([this] { Button9Click(); });
  Button10.SetOnClick([this] { Button10Click(); });
  Button11.SetOnClick([this] { Button11Click(); });
  Button12.SetOnClick([this] { Button12Click(); });
  Button13.SetOnClick([this] { Button13Click(); });
  Button14.SetOnClick([this] { Button14Click(); });
  Button15.SetOnClick([this] { Button15Click(); });
  TavrinHelp1.SetOnClick([this] { TavrinHelp1Click(); });
  About1.SetOnClick([this] { About1Click(); });
  // The two folder views follow each other.
  ShellComboBox1.SetOnChange([this] { ShellListView1.ShowFolder(ShellComboBox1.Path()); });
  ShellListView1.SetOnFolderOpened(
      [this](const std::string& folder) { ShellComboBox1.SetPath(folder); });
  CheckListBox1.SetOnClickCheck([this] { CheckListBox1ClickCheck(); });
  CheckListBox2.SetOnClickCheck([this] { CheckListBox2ClickCheck(); });
  CheckListBox3.SetOnClickCheck([this] { CheckListBox3ClickCheck(); });
  ValueListEditor1.SetOnDrawCell(
      [this](int c, int r, CellState s) { return ValueListEditor1DrawCell(c, r, s); });
  ValueListEditor2.SetOnDrawCell(
      [this](int c, int r, CellState s) { return ValueListEditor2DrawCell(c, r, s); });
  ValueListEditor3.SetOnDrawCell(
      [this](int c, int r, CellState s) { return ValueListEditor3DrawCell(c, r, s); });
  ValueListEditor4.SetOnDrawCell(
      [this](int c, int r, CellState s) { return ValueListEditor4DrawCell(c, r, s); });
  ValueListEditor5.SetOnDrawCell(
      [this](int c, int r, CellState s) { return ValueListEditor5DrawCell(c, r, s); });
  ValueListEditor6.SetOnDrawCell(
      [this](int c, int r, CellState s) { return ValueListEditor6DrawCell(c, r, s); });
}

void TForm1::FormCreate() {
  FormCreate(ProfileReader(SettingsPath()));
}

void TForm1::FormCreate(const ProfileReader& settings) {
  ApplyEditingRules(SummaryGrids(), FileTimeGrids(), DocSummaryGrids());
  for (RowSet set : {RowSet::kSummary, RowSet::kDocSummary}) {
    CheckListBox& list = set == RowSet::kSummary ? CheckListBox1 : CheckListBox3;
    for (int row : FixedReadOnlyRows(set)) list.SetItemEnabled(row, false);
  }
  // A stored folder that is gone is reported inside; the grids are
  // repainted whatever happened, so read-only rows always show as such.
  ReadSettings(settings, Settings(), dialogs_);
  for (ValueListEditor* grid : {&ValueListEditor1, &ValueListEditor2, &ValueListEditor3,
                                &ValueListEditor4, &ValueListEditor5, &ValueListEditor6}) {
    grid->Repaint();
  }
}

bool TForm1::FormCloseQuery() {
  return CloseQuery(SettingsPath(), Settings(), dialogs_);
}

SettingsControls TForm1::Settings() {
  return {CheckListBox1, SummaryGrids(),    CheckListBox2, FileTimeGrids(),
          CheckListBox3, DocSummaryGrids(), Edit1,         ShellComboBox1};
}

std::string TForm1::SettingsPath() const {
  return ProgramFilePath(executablePath_, ".ini");
}
std::string TForm1::DefaultsPath() const {
  return ProgramFilePath(executablePath_, ".dat");
}

PageGrids TForm1::TargetPage() {
  return {ValueListEditor1, ValueListEditor3, ValueListEditor5};
}
PageGrids TForm1::DefaultsPage() {
  return {ValueListEditor2, ValueListEditor4, ValueListEditor6};
}

void TForm1::Button4Click() {
  CopySelectedRows(CheckListBox1, ValueListEditor1, ValueListEditor2);
  CopySelectedRows(CheckListBox2, ValueListEditor3, ValueListEditor4);
  CopySelectedRows(CheckListBox3, ValueListEditor5, ValueListEditor6);
}

void TForm1::Button5Click() {
  CopySelectedRows(CheckListBox1, ValueListEditor2, ValueListEditor1);
  CopySelectedRows(CheckListBox2, ValueListEditor4, ValueListEditor3);
  CopySelectedRows(CheckListBox3, ValueListEditor6, ValueListEditor5);
}

void TForm1::Button11Click() {
  ClearPage(TargetPage());
}
void TForm1::Button12Click() {
  ClearPage(DefaultsPage());
}

void TForm1::Button9Click() {
  SetChosenDatesToNow({&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4, &CheckBox5, &CheckBox6},
                      TargetPage());
}
void TForm1::Button14Click() {
  SetChosenDatesToZero({&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4, &CheckBox5, &CheckBox6},
                       TargetPage());
}
void TForm1::Button10Click() {
  SetChosenDatesToNow({&CheckBox7, &CheckBox8, &CheckBox9, &CheckBox10, &CheckBox11, &CheckBox12},
                      DefaultsPage());
}
void TForm1::Button15Click() {
  SetChosenDatesToZero({&CheckBox7, &CheckBox8, &CheckBox9, &CheckBox10, &CheckBox11, &CheckBox12},
                       DefaultsPage());
}

void TForm1::Button6Click() {
  SaveDefaults(DefaultsPath(), DefaultsPage(), dialogs_);
}
void TForm1::Button7Click() {
  LoadDefaults(DefaultsPath(), DefaultsPage(), dialogs_);
}

void TForm1::Button13Click() {
  onceEachCommand_ = {};
  // Taken as each file's first write begins, put back after its last.
  KeptTimes kept;
  BatchCommand(ShellListView1, {ValueListEditor2, CheckListBox1}, {ValueListEditor6, CheckListBox3},
               dialogs_, host_,
               {[this, &kept](const std::string& path) {
                  if (CheckBox13.Checked()) kept = KeptTimes::Take(path);
                  return SetDocumentPropertiesAll(path);
                },
                [this](const std::string& path) { return SetDocumentProperties2All(path); },
                [this, &kept](const std::string& path) {
                  SetFileDateAll(path);
                  if (CheckBox13.Checked()) kept.PutBack(path, CheckListBox2, dialogs_);
                }},
               batchPause_);
}

void TForm1::GetFileDate(const std::string& path) {
  tavrin::GetFileDate(path, ValueListEditor3, dialogs_);
}
void TForm1::GetDocumentProperties(const std::string& path) {
  tavrin::GetDocumentProperties(path, ValueListEditor1, dialogs_);
}
void TForm1::GetDocumentProperties2(const std::string& path) {
  tavrin::GetDocumentProperties2(path, ValueListEditor5, dialogs_);
}

SetWrite TForm1::SetDocumentProperties(const std::string& path) {
  return tavrin::SetDocumentProperties(path, ValueListEditor1, CheckListBox1, dialogs_);
}
SetWrite TForm1::SetDocumentPropertiesAll(const std::string& path) {
  return tavrin::SetDocumentProperties(path, ValueListEditor2, CheckListBox1, dialogs_);
}
SetWrite TForm1::SetDocumentProperties2(const std::string& path) {
  return tavrin::SetDocumentProperties2(path, ValueListEditor5, CheckListBox3, dialogs_);
}
SetWrite TForm1::SetDocumentProperties2All(const std::string& path) {
  return tavrin::SetDocumentProperties2(path, ValueListEditor6, CheckListBox3, dialogs_);
}
void TForm1::SetFileDate(const std::string& path) {
  tavrin::SetFileDate(path, ValueListEditor3, CheckListBox2, dialogs_, onceEachCommand_);
}
void TForm1::SetFileDateAll(const std::string& path) {
  tavrin::SetFileDate(path, ValueListEditor4, CheckListBox2, dialogs_, onceEachCommand_);
}

void TForm1::Button1Click() {
  // Browsing starts where the file last shown is.
  const std::string folder = std::filesystem::path(Edit1.Text()).parent_path().string();
  if (!folder.empty()) OpenDialog1.SetInitialDir(folder);
  ShowCommand(Edit1.Text(), dialogs_,
              {[this](const std::string& path) { GetFileDate(path); },
               [this](const std::string& path) { GetDocumentProperties(path); },
               [this](const std::string& path) { GetDocumentProperties2(path); }});
}

void TForm1::Button2Click() {
  onceEachCommand_ = {};
  UpdateCommand(Edit1.Text(), {ValueListEditor1, CheckListBox1}, {ValueListEditor5, CheckListBox3},
                dialogs_,
                {[this](const std::string& path) { return SetDocumentProperties(path); },
                 [this](const std::string& path) { return SetDocumentProperties2(path); },
                 [this](const std::string& path) { SetFileDate(path); }});
}

void TForm1::Button3Click() {
  // The dialog's answer is not consulted: after a cancel the box gets the
  // last name confirmed in this run, or nothing.
  OpenDialog1.Execute();
  Edit1.SetText(OpenDialog1.FileName());
}

void TForm1::Edit1ReturnPressed() {
  Button1Click();
}

void TForm1::OpenFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  PageControl1.SetActivePageIndex(0);
  Edit1.SetText(paths.front());
  Button1Click();
  if (paths.size() > 1) {
    dialogs_.Message(Cp932("ファイルが ") + std::to_string(paths.size()) +
                     Cp932(" 個指定されました。最初のファイルだけを表示しています") + "\r\n" +
                     codepage::PathForMessage(paths.front()));
  }
}

void TForm1::Button16Click() {
  Edit1.SetText({});
}

void TForm1::Button8Click() {
  host_.RequestClose();
}

void TForm1::TavrinHelp1Click() {
  host_.ShowHelpContents(ReplaceExtension(executablePath_, ".hlp"));
}

void TForm1::About1Click() {
  if (aboutBox_ != nullptr) host_.ShowModal(*aboutBox_);
}

void TForm1::CheckListBox1ClickCheck() {
  ApplySelection(CheckListBox1, SummaryGrids(), FixedReadOnlyRows(RowSet::kSummary));
}
void TForm1::CheckListBox2ClickCheck() {
  ApplySelection(CheckListBox2, FileTimeGrids(), FixedReadOnlyRows(RowSet::kFileTime));
}
void TForm1::CheckListBox3ClickCheck() {
  ApplySelection(CheckListBox3, DocSummaryGrids(), FixedReadOnlyRows(RowSet::kDocSummary));
}

CellPaint TForm1::ValueListEditor1DrawCell(int column, int gridRow, CellState state) const {
  return DecideCellPaint(ValueListEditor1, kTargetPageColours, column, gridRow, state);
}
CellPaint TForm1::ValueListEditor2DrawCell(int column, int gridRow, CellState state) const {
  return DecideCellPaint(ValueListEditor2, kDefaultsPageColours, column, gridRow, state);
}
CellPaint TForm1::ValueListEditor3DrawCell(int column, int gridRow, CellState state) const {
  return DecideCellPaint(ValueListEditor3, kTargetPageColours, column, gridRow, state);
}
CellPaint TForm1::ValueListEditor4DrawCell(int column, int gridRow, CellState state) const {
  return DecideCellPaint(ValueListEditor4, kDefaultsPageColours, column, gridRow, state);
}
CellPaint TForm1::ValueListEditor5DrawCell(int column, int gridRow, CellState state) const {
  return DecideCellPaint(ValueListEditor5, kTargetPageColours, column, gridRow, state);
}
CellPaint TForm1::ValueListEditor6DrawCell(int column, int gridRow, CellState state) const {
  return DecideCellPaint(ValueListEditor6, kDefaultsPageColours, column, gridRow, state);
}

}  // namespace tavrin
