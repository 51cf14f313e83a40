#pragma once
// What the command-line front end prints of a form after a command on one
// file: the rows of the three target grids, in grid order, and the boxes
// the form showed, in order.

#include <string>
#include <vector>

#include "app/TForm1.h"
#include "platform/ScriptedDialogs.h"

namespace tavrin::cli {

struct FormReport {
  const std::string& path;
  const TForm1& form;
  const std::vector<ScriptedDialogs::Shown>& boxes;
};

// One entry of the "files" array: path, path_bytes, grids (each row with
// key, alias, value), messages. With `hex` each row
// also carries its value's exact CP932 bytes.
std::string RenderJson(const FormReport& report, bool hex);

// The rows as text lines for a person, under "== PATH" (the path escaped).
std::string RenderText(const FormReport& report);

// The boxes as lines for standard error, each naming the file.
std::string RenderMessages(const FormReport& report);

}  // namespace tavrin::cli
