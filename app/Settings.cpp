#include "app/Settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "grids/RowCatalogue.h"
#include "grids/RowSelection.h"
#include "platform/CodePage.h"
#include "platform/FilePaths.h"
#include "platform/PrivateProfile.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using codepage::Cp932;

constexpr const char* kSummarySection = "SummaryInfo";
constexpr const char* kFileTimeSection = "FileDateTime";
constexpr const char* kDocSummarySection = "DocumentSummaryInfo";
constexpr const char* kSettingSection = "Setting";

struct ListSetting {
  const char* section;
  CheckListBox& list;
  GridPair grids;
  RowSet set;
};

std::vector<ListSetting> Lists(SettingsControls& c) {
  return {{kSummarySection, c.summaryList, c.summaryGrids, RowSet::kSummary},
          {kFileTimeSection, c.fileTimeList, c.fileTimeGrids, RowSet::kFileTime},
          {kDocSummarySection, c.docSummaryList, c.docSummaryGrids, RowSet::kDocSummary}};
}

std::string ConfigFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    return std::string(config) + "/tavrin";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/tavrin";
}

// A path as the settings file holds it. The program writes the system's own
// bytes; someone editing the file by hand in CP932, as its keys are, writes
// the CP932 bytes of a name the system spells in UTF-8. Those are read in
// CP932 when they name nothing and their reading names something.
std::string StoredPath(const std::string& stored) {
  std::error_code error;
  if (stored.empty() || fs::exists(stored, error)) return stored;
  std::optional<std::string> utf8 = codepage::Convert(stored, codepage::kCp932, codepage::kUtf8);
  if (utf8 && *utf8 != stored && fs::exists(*utf8, error)) return *utf8;
  return stored;
}

// Writing is not enough: root may write /usr/bin, yet a file left there
// would belong to no package and be shared by every user.
bool IsFolderOfItsOwn(const fs::path& folder) {
  if (folder.filename() == TAVRIN_INSTALL_BINDIR_NAME) return false;
  return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

}  // namespace

std::string ProgramFilePath(const std::string& executablePath, const std::string& extension) {
  fs::path beside = ReplaceExtension(executablePath, extension);
  if (IsFolderOfItsOwn(beside.parent_path())) return beside.string();
  // The folder is ours: it is made when first needed, so that the first
  // save or close can write there.
  std::string config = ConfigFolder();
  std::error_code ignored;
  fs::create_directories(config, ignored);
  return config + "/" + beside.filename().string();
}

void ReadSettings(const ProfileReader& profile, SettingsControls controls, Dialogs& dialogs) {
  for (ListSetting& setting : Lists(controls)) {
    const std::vector<std::string>& keys = ItemNames(setting.set);
    std::span<const RowInfo> rows = Rows(setting.set);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const char* fallback = rows[i].checkedByDefault ? "1" : "0";
      std::string value = profile.Get(setting.section, keys[i], fallback);
      // Exact comparisons, and not the same one: file times are selected
      // unless the value is "0", the other rows only when it is "1".
      bool checked = setting.set == RowSet::kFileTime ? value != "0" : value == "1";
      RestoreSelection(setting.list, setting.grids, static_cast<int>(i), checked);
    }
  }
  controls.fileName.SetText(StoredPath(profile.Get(kSettingSection, "filename", "")));
  std::string folder = StoredPath(profile.Get(kSettingSection, "folder", ""));
  if (folder.empty()) return;
  std::error_code error;
  if (folder.front() != '/' || !fs::is_directory(folder, error)) {
    dialogs.ReportError(Cp932("パス設定エラー : \"") + codepage::Utf8ToCp932ForDisplay(folder) +
                        "\"");
    return;
  }
  controls.folder.SetPath(fs::path(folder).lexically_normal().string());
}

bool CloseQuery(const std::string& path, SettingsControls controls, Dialogs& dialogs) {
  if (!dialogs.Confirm(Cp932("終了しますか？"))) return false;
  auto write = [&](const char* section, const std::string& key, const std::string& value) {
    if (WritePrivateProfileString(section, key, value, path)) return true;
    dialogs.ReportError(codepage::Utf8ToCp932ForDisplay(path) + Cp932(" に書き込めません"));
    return false;
  };
  for (ListSetting& setting : Lists(controls)) {
    const std::vector<std::string>& keys = ItemNames(setting.set);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (!write(setting.section, keys[i], setting.list.Checked(static_cast<int>(i)) ? "1" : "0")) {
        return false;
      }
    }
  }
  if (!write(kSettingSection, "filename", controls.fileName.Text())) return false;
  // Only a real folder is stored; the computer at the top of the views
  // is stored as empty, so the next start shows it again.
  const std::string& folder = controls.folder.Path();
  std::error_code error;
  bool real = !folder.empty() && folder.front() == '/' && fs::is_directory(folder, error);
  return write(kSettingSection, "folder", real ? folder : std::string());
}

}  // namespace tavrin
