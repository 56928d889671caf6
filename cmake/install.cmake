# What `cmake --install` puts under the prefix for learners' own programs, and
# the Debian package CPack makes of it:
#   include/kaplo/         kaplo.h, and on Linux the layer's windows.h beside it
#                          (in a folder of its own, so it never shadows a real one)
#   lib/                   libkaplo.a; on Linux also libkaplo_platform.a and
#                          libkaplo_main.a (the layer's main, which calls WinMain)
#   lib/cmake/kaplo/       find_package(kaplo) -> kaplo::kaplo
#   lib/pkgconfig/kaplo.pc pkg-config kaplo
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KAPLO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kaplo)
set_target_properties(kaplo PROPERTIES EXPORT_NAME package)
set(kaplo_install_targets kaplo platform)

if(WIN32)
    set(KAPLO_PORTABLE_LAYER OFF)
    # A KAPLO program is a window program: no console window beside it.
    set(KAPLO_PC_LIBS "-lkaplo -luser32 -lgdi32 -lkernel32 -lstdc++ -mwindows")
else()
    set(KAPLO_PORTABLE_LAYER ON)
    # The layer's main as an archive: a program without main gets it, one
    # with its own main still links. Asking for kaplo_entry_check brings in
    # the check that ends a program with main instead of WinMain, saying so.
    add_library(kaplo_main STATIC $<TARGET_OBJECTS:platform_main>)
    target_link_libraries(kaplo_main PUBLIC platform)
    target_link_options(kaplo_main INTERFACE "LINKER:-u,kaplo_entry_check")
    set_target_properties(kaplo_main PROPERTIES EXPORT_NAME main)
    set_target_properties(platform PROPERTIES OUTPUT_NAME kaplo_platform)
    list(APPEND kaplo_install_targets kaplo_main)
    install(FILES platform/include/windows.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kaplo)
    # Static libraries: everything they need goes on the plain link line, so
    # that `cc prog.c $(pkg-config --cflags --libs kaplo)` links.
    set(KAPLO_PC_LIBS "-Wl,-u,kaplo_entry_check -lkaplo_main -lkaplo -lkaplo_platform -lSDL2 -lfreetype -lfontconfig -lharfbuzz -lfribidi -lpng -lgif -lpthread -lstdc++ -lm")
    if(KAPLO_WITH_X11)  # set by platform/ when Xlib was found
        string(REPLACE "-lSDL2" "-lSDL2 -lX11" KAPLO_PC_LIBS "${KAPLO_PC_LIBS}")
    else()
        set(KAPLO_WITH_X11 OFF)
    endif()
endif()

install(FILES package/kaplo.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kaplo)
install(TARGETS ${kaplo_install_targets} EXPORT kaplo-targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT kaplo-targets NAMESPACE kaplo:: DESTINATION ${KAPLO_CMAKE_DIR})

configure_package_config_file(cmake/kaplo-config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/kaplo-config.cmake INSTALL_DESTINATION ${KAPLO_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kaplo-config-version.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kaplo-config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/kaplo-config-version.cmake
    DESTINATION ${KAPLO_CMAKE_DIR})

configure_file(cmake/kaplo.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kaplo.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kaplo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# cpack -G DEB: the headers, libraries and both package descriptions.
set(CPACK_PACKAGE_NAME libkaplo-dev)
set(CPACK_PACKAGE_VENDOR KAPLO)
set(CPACK_PACKAGE_CONTACT "KAPLO developers <kaplo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "KAPLO, a small graphics package for people learning to program")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-dev, libfreetype-dev, libfontconfig-dev, libharfbuzz-dev, libfribidi-dev, libpng-dev, libgif-dev")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkg-config, cmake")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kaplo)
include(CPack)
