# Compiler settings for the project's own code. Third-party headers come in
# as system includes, so -Werror applies only to what we write.
set(TAVRIN_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wconversion -Wsign-conversion
    -Wnull-dereference -Wimplicit-fallthrough)
# GCC 12 at -O3 reports impossible overlaps inside std::string concatenation
# (its bug 105329); the warning says nothing about our code there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND TAVRIN_WARNINGS -Wno-restrict)
endif()

if(TAVRIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

function(tavrin_target name)
  target_compile_options(${name} PRIVATE ${TAVRIN_WARNINGS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# tavrin_library(name SOURCES ... DEPS ...)
function(tavrin_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  tavrin_target(${name})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()
