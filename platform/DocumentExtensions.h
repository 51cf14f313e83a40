#pragma once
// The extensions of the documents the program reads and writes, in lower
// case and without the dot: the one list that every choice of documents by
// name (a folder walked from the command line) takes.

#include <string_view>

namespace tavrin {

inline constexpr std::string_view kDocumentExtensions[] = {
    "doc", "xls", "ppt", "docx", "xlsx", "pptx", "xlsm", "pptm", "odt", "ods", "odp"};

}  // namespace tavrin
