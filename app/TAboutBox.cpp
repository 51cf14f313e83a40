#include "app/TAboutBox.h"

#include <string>

#include "app/Version.h"
#include "platform/CodePage.h"

namespace tavrin {

using codepage::Cp932;

// Bounds of the box itself are its client area.
TAboutBox::TAboutBox()
    : Control("AboutBox", nullptr, {0, 0, 254, 161}),
      Panel1("Panel1", this, {8, 8, 233, 113}),
      ProgramIcon("ProgramIcon", &Panel1, {8, 8, 65, 57}),
      ProductName("ProductName", &Panel1, {72, 16, 0, 0}),
      Version("Version", &Panel1, {72, 40, 0, 0}),
      Copyright("Copyright", &Panel1, {72, 64, 0, 0}),
      OKButton("OKButton", this, {87, 124, 75, 25}) {
  SetCaption(Cp932("バージョン情報"));
  SetFont({Cp932("ＭＳ Ｐゴシック"), 12, false, {}});
  ProgramIcon.SetResource(":/tavrin/icon.png");
  ProductName.SetCaption(Cp932("プロダクト名     Tavrin"));
  Version.SetCaption(Cp932("バージョン       ") + kVersion);
  Copyright.SetCaption(Cp932("Tavrin 開発チーム"));
  OKButton.SetCaption("OK");
  OKButton.SetDefault(true);
  OKButton.SetModalResult(kModalOk);
}

}  // namespace tavrin
