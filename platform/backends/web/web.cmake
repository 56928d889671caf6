# The layer in a web page (emcmake): the web backend and the browser's glyphs
# instead of SDL2, fontconfig, FreeType, libpng and giflib (none of them is
# built for WebAssembly here); no headless backend, scripted runs or captures
# (run/, capture/), so no PNG or GIF saving either.
file(GLOB PLATFORM_SOURCES CONFIGURE_DEPENDS
    user/*.cpp gdi/*.cpp kernel/*.cpp backends/web/*.cpp)
list(REMOVE_ITEM PLATFORM_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gdi/glyph_source_freetype.cpp)

add_library(platform STATIC ${PLATFORM_SOURCES})
target_include_directories(platform
    PUBLIC include
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/common)
# WebAssembly's SIMD (every browser of the last years has it), for the
# rasteriser's long fills.
target_compile_options(platform PUBLIC -msimd128)
# Asyncify lets GetMessageA sleep inside the page; page.js is the page's side.
target_link_options(platform INTERFACE
    -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536 -sALLOW_MEMORY_GROWTH=1
    -sENVIRONMENT=web "SHELL:--pre-js ${CMAKE_CURRENT_SOURCE_DIR}/backends/web/page.js")
set_property(TARGET platform APPEND PROPERTY INTERFACE_LINK_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/backends/web/page.js)

# The layer's main (its run in a page is web_run.cpp); time() stays the C
# library's, since a page has no option to fix the calendar clock.
add_library(platform_main OBJECT main.cpp)
target_link_libraries(platform_main PUBLIC platform)
