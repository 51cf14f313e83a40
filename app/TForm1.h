#pragma once
// The main window: it owns every control under its name and runs every
// handler. The handlers are thin: each calls into the unit that owns the
// work, so the units below never see the window.

#include <string>
#include <vector>

#include <chrono>
#include "app/TAboutBox.h"
#include "filetimes/FileDate.h"

#include "app/Settings.h"
#include "commands/BatchCommand.h"
#include "grids/CellDrawing.h"
#include "grids/DefaultsPage.h"
#include "grids/GridPair.h"
#include "platform/Dialogs.h"
#include "platform/WindowHost.h"
#include "platform/controls/Button.h"
#include "platform/controls/CheckBox.h"
#include "platform/controls/CheckListBox.h"
#include "platform/controls/Edit.h"
#include "platform/controls/GroupBox.h"
#include "platform/controls/Label.h"
#include "platform/controls/Menu.h"
#include "platform/controls/OpenDialog.h"
#include "platform/controls/PageControl.h"
#include "platform/controls/ShellComboBox.h"
#include "platform/controls/ShellListView.h"
#include "platform/controls/ValueListEditor.h"
#include "propsets/AccessFrame.h"

namespace tavrin {

class TForm1 : public Control {
 public:
  // `executablePath` names the files that live beside the program.
  TForm1(Dialogs& dialogs, WindowHost& host, std::string executablePath);

  void FormCreate();
  // The same with the settings file's content already read: a caller that
  // creates many forms in one run reads the file once.
  void FormCreate(const ProfileReader& settings);
  // Whether the window may close.
  bool FormCloseQuery();
  // The About box is created after the window, hidden, and shown on demand.
  void AttachAboutBox(TAboutBox& aboutBox) { aboutBox_ = &aboutBox; }

  // Property-set and file-time operations on one file (native path bytes).
  void GetFileDate(const std::string& path);
  void GetDocumentProperties(const std::string& path);
  void GetDocumentProperties2(const std::string& path);
  SetWrite SetDocumentProperties(const std::string& path);
  SetWrite SetDocumentPropertiesAll(const std::string& path);
  SetWrite SetDocumentProperties2(const std::string& path);
  SetWrite SetDocumentProperties2All(const std::string& path);
  void SetFileDate(const std::string& path);
  void SetFileDateAll(const std::string& path);

  void Button1Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void Button9Click();
  void Button10Click();
  void Button11Click();
  void Button12Click();
  void Button13Click();
  void Button14Click();
  void Button15Click();
  void Button2Click();
  void Button3Click();
  void Button16Click();
  void Edit1ReturnPressed();
  // Files named on the command line or dropped on the window: the first is
  // shown as 「表示」 shows a file; of several, the user is told that only
  // the first is shown.
  void OpenFiles(const std::vector<std::string>& paths);
  void Button8Click();
  void TavrinHelp1Click();
  void About1Click();

  void CheckListBox1ClickCheck();
  void CheckListBox2ClickCheck();
  void CheckListBox3ClickCheck();

  CellPaint ValueListEditor1DrawCell(int column, int gridRow, CellState state) const;
  CellPaint ValueListEditor2DrawCell(int column, int gridRow, CellState state) const;
  CellPaint ValueListEditor3DrawCell(int column, int gridRow, CellState state) const;
  CellPaint ValueListEditor4DrawCell(int column, int gridRow, CellState state) const;
  CellPaint ValueListEditor5DrawCell(int column, int gridRow, CellState state) const;
  CellPaint ValueListEditor6DrawCell(int column, int gridRow, CellState state) const;

  GridPair SummaryGrids() { return {ValueListEditor1, ValueListEditor2}; }
  GridPair DocSummaryGrids() { return {ValueListEditor5, ValueListEditor6}; }
  GridPair FileTimeGrids() { return {ValueListEditor3, ValueListEditor4}; }

  Dialogs& dialogs() { return dialogs_; }

  // Outside the pages.
  Label Label1;
  PageControl PageControl1;
  TabSheet TabSheet1;
  TabSheet TabSheet2;
  TabSheet TabSheet3;
  GroupBox GroupBox7;
  CheckListBox CheckListBox1;
  GroupBox GroupBox11;
  CheckListBox CheckListBox3;
  GroupBox GroupBox8;
  CheckListBox CheckListBox2;
  Button Button8;
  OpenDialog OpenDialog1;
  MainMenu MainMenu1;
  MenuItem Help1;
  MenuItem TavrinHelp1;
  MenuItem About1;

  // The target page.
  GroupBox GroupBox2;
  ValueListEditor ValueListEditor1;
  GroupBox GroupBox9;
  ValueListEditor ValueListEditor5;
  GroupBox GroupBox3;
  ValueListEditor ValueListEditor3;
  GroupBox GroupBox1;
  CheckBox CheckBox1;
  CheckBox CheckBox2;
  CheckBox CheckBox3;
  CheckBox CheckBox4;
  CheckBox CheckBox5;
  CheckBox CheckBox6;
  Button Button9;
  Button Button14;
  Button Button1;
  Button Button2;
  Button Button11;
  Button Button5;
  Button Button4;
  Label Label2;
  Edit Edit1;
  Button Button3;
  Button Button16;

  // The defaults page.
  GroupBox GroupBox4;
  ValueListEditor ValueListEditor2;
  GroupBox GroupBox10;
  ValueListEditor ValueListEditor6;
  GroupBox GroupBox5;
  ValueListEditor ValueListEditor4;
  GroupBox GroupBox6;
  CheckBox CheckBox7;
  CheckBox CheckBox8;
  CheckBox CheckBox9;
  CheckBox CheckBox10;
  CheckBox CheckBox11;
  CheckBox CheckBox12;
  Button Button10;
  Button Button15;
  Button Button7;
  Button Button6;
  Button Button12;

  // The batch page.
  ShellListView ShellListView1;
  ShellComboBox ShellComboBox1;
  Button Button13;
  // Puts each file's last-write and last-access times back after the batch
  // has written it, unless its file-time row is selected.
  CheckBox CheckBox13;

  // The pause before each file of a batch; scripts may shorten it.
  void SetBatchPause(std::chrono::milliseconds pause) { batchPause_ = pause; }

  // Where the settings and the default values are kept.
  std::string SettingsPath() const;
  std::string DefaultsPath() const;

  PageGrids TargetPage();
  PageGrids DefaultsPage();

 private:
  Dialogs& dialogs_;
  WindowHost& host_;
  std::string executablePath_;
  TAboutBox* aboutBox_ = nullptr;
  // Reset when a command that writes starts (Button2Click, and the batch).
  OnceEachCommand onceEachCommand_;
  std::chrono::milliseconds batchPause_ = kBatchPause;

  SettingsControls Settings();
  void BuildLayout();
  void ConnectHandlers();
};

}  // namespace tavrin
