# The icons are drawn from one SVG when the program is built, so the PNGs
# can never fall behind it; rsvg-convert's output depends only on the SVG
# and the size, so every build draws the same bytes.
find_program(TAVRIN_RSVG_CONVERT rsvg-convert)
if(NOT TAVRIN_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) draws the icons: "
                      "run scripts/setup.sh")
endif()

# tavrin_render_icon(svg size output): a size x size PNG of svg.
function(tavrin_render_icon svg size output)
  cmake_path(GET output PARENT_PATH folder)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${TAVRIN_RSVG_CONVERT} --width=${size} --height=${size} --output=${output} ${svg}
    DEPENDS ${svg}
    COMMENT "Drawing the ${size}x${size} icon"
    VERBATIM)
endfunction()
