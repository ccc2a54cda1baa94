# `make package-windows`: an NSIS installer rq4720-tool-<version>-win64.exe (Program Files,
# a Start-menu entry, an uninstaller listed in "Apps & features") and a portable zip of the
# same files, from what cmake/WindowsDeploy.cmake installs.

# The icon, made from the project's PNG sizes when the programs are built.
find_program(RQ_IMAGEMAGICK NAMES convert magick REQUIRED)
set(RQ_WINDOWS_ICON ${CMAKE_BINARY_DIR}/rq4720-tool.ico)
set(icon_sizes 16 24 32 48 64 128 256)
list(TRANSFORM icon_sizes PREPEND ${PROJECT_SOURCE_DIR}/packaging/icons/rq4720-tool-
     OUTPUT_VARIABLE icon_pngs)
list(TRANSFORM icon_pngs APPEND .png)
add_custom_command(OUTPUT ${RQ_WINDOWS_ICON}
    COMMAND ${RQ_IMAGEMAGICK} ${icon_pngs} ${RQ_WINDOWS_ICON}
    DEPENDS ${icon_pngs}
    COMMENT "Making rq4720-tool.ico" VERBATIM)
add_custom_target(rq_windows_icon DEPENDS ${RQ_WINDOWS_ICON})

# Both programs carry the icon and their version as Windows resources.
foreach(program rq4720-tool rq4720-cli)
    set(RQ_WINDOWS_PROGRAM ${program})
    if(program STREQUAL rq4720-tool)
        set(RQ_WINDOWS_DESCRIPTION "RQ-4720 configuration tool")
    else()
        set(RQ_WINDOWS_DESCRIPTION "RQ-4720 configuration tool, command line")
    endif()
    set(rc ${CMAKE_BINARY_DIR}/${program}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/rq4720-tool.rc.in ${rc} @ONLY)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${RQ_WINDOWS_ICON})
    target_sources(${program} PRIVATE ${rc})
    add_dependencies(${program} rq_windows_icon)
endforeach()

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME rq4720-tool)
set(CPACK_PACKAGE_VENDOR "RQ-4720 tool developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure, test and update RQ-4720 iButton readers")
set(CPACK_PACKAGE_FILE_NAME rq4720-tool-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "RQ-4720 Tool")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "RQ-4720 Tool")
# The Start-menu entry.
set(CPACK_PACKAGE_EXECUTABLES rq4720-tool "RQ-4720 Tool")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "RQ-4720 Tool ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME "RQ-4720 Tool ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${RQ_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${RQ_WINDOWS_ICON})
# The icon "Apps & features" shows beside the uninstall entry.
set(CPACK_NSIS_INSTALLED_ICON_NAME rq4720-tool.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_FINISHPAGE_RUN rq4720-tool.exe)
set(CPACK_ZIP_COMPONENT_INSTALL OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
