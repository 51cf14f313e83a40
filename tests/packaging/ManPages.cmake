# cmake -DCLI=tavrin-cli -DCLI_PAGE=tavrin-cli.1 -DPAGES="a.1;b.1" -P ManPages.cmake
#
# The manual pages as man formats them, with nothing for groff to warn
# about; and tavrin-cli(1) names every option and row that tavrin-cli --help
# names, since the help is made from the program itself and the page by hand.

set(ENV{LC_ALL} C.UTF-8)
set(ENV{MANWIDTH} 80)
foreach(page IN LISTS PAGES)
  execute_process(COMMAND man --warnings -E UTF-8 -l -Tutf8 -Z ${page}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE warnings)
  if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "${page}: man says (status ${status}):\n${warnings}")
  endif()
endforeach()

execute_process(COMMAND ${CLI} --help RESULT_VARIABLE status OUTPUT_VARIABLE help)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tavrin-cli --help ended with status ${status}")
endif()
file(READ ${CLI_PAGE} page)
string(REPLACE "\\-" "-" page "${page}")
string(REGEX MATCHALL "(--[a-z]+|(summary|docsummary|filetime):[^ \n]+)" named "${help}")
list(REMOVE_DUPLICATES named)
set(missing)
foreach(name IN LISTS named)
  string(FIND "${page}" "${name}" at)
  if(at EQUAL -1)
    list(APPEND missing "${name}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "tavrin-cli --help names what ${CLI_PAGE} does not: ${missing}")
endif()
list(LENGTH named count)
message(STATUS "${count} options and rows of the help are in the page")
