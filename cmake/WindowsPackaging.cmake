# `make package-windows`: an NSIS installer rq4720-tool-<version>-win64.exe (a 64-bit
# program: Program Files, a Start-menu entry, an uninstaller listed in "Apps & features",
# rq4720-cli on the PATH if asked) and a portable zip of the same files, from what
# cmake/WindowsDeploy.cmake installs. scripts/windows-installer-check runs it under Wine.

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

# What the PATH finds of rq4720-cli: a launcher alone in bin\, so that the Qt DLLs beside
# the programs are offered to no other program.
add_executable(rq4720-cli-launcher ${PROJECT_SOURCE_DIR}/packaging/windows/rq4720-cli-launcher.cpp)
set_target_properties(rq4720-cli-launcher PROPERTIES OUTPUT_NAME rq4720-cli
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_options(rq4720-cli-launcher PRIVATE -municode -static)
rq_strict_warnings(rq4720-cli-launcher)
install(TARGETS rq4720-cli-launcher RUNTIME DESTINATION bin)

# The NSIS commands below reach the script as they are written here.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME rq4720-tool)
set(CPACK_PACKAGE_VENDOR "RQ-4720 tool developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure, test and update RQ-4720 iButton readers")
set(CPACK_PACKAGE_FILE_NAME rq4720-tool-${PROJECT_VERSION}-win64)
# The folder and the uninstall key keep their first name, so that an install over an
# earlier version finds that version's uninstaller and runs it.
set(CPACK_PACKAGE_INSTALL_DIRECTORY "RQ-4720 Tool")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "RQ-4720 Tool")
# What the user reads is the name of the Linux menu entry: the Start-menu entry, the
# "Apps & features" entry, the installer's title and the Start-menu folder.
set(CPACK_PACKAGE_EXECUTABLES rq4720-tool "RQ-4720 Programming Tool")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "RQ-4720 Programming Tool ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME "RQ-4720 Programming Tool")
set(CPACK_NSIS_MUI_ICON ${RQ_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${RQ_WINDOWS_ICON})
# The icon "Apps & features" shows beside the uninstall entry.
set(CPACK_NSIS_INSTALLED_ICON_NAME rq4720-tool.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# The installer runs elevated; the program its last page offers to start must not, or
# it would save files as the administrator and hold the reader with an administrator's
# rights. Explorer starts it as the signed-in user. Debian's makensis has the 64-bit
# stubs: a 64-bit installer writes the 64-bit registry and starts where 32-bit programs
# cannot.
set(CPACK_NSIS_DEFINES [=[
  Target amd64-unicode
  !include FileFunc.nsh
  !define MUI_FINISHPAGE_RUN
  !define MUI_FINISHPAGE_RUN_TEXT "Start RQ-4720 Programming Tool"
  !define MUI_FINISHPAGE_RUN_FUNCTION StartAsTheUser
Function StartAsTheUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\rq4720-tool.exe"'
FunctionEnd]=])
# rq4720-cli on the PATH: the options page offers it (for this user or all users), and
# /ADDTOPATH does it in a silent install. The uninstaller takes it off again.
set(CPACK_NSIS_MODIFY_PATH ON)
# "Apps & features" shows where the program lies.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  WriteRegStr SHCTX "Software\Microsoft\Windows\CurrentVersion\Uninstall\RQ-4720 Tool" "InstallLocation" "$INSTDIR"]=])
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS [=[
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ADDTOPATH" $R1
  IfErrors +3
    WriteINIStr "$PLUGINSDIR\NSIS.InstallOptions.ini" "Field 2" "State" "0"
    WriteINIStr "$PLUGINSDIR\NSIS.InstallOptions.ini" "Field 3" "State" "1"]=])
set(CPACK_ZIP_COMPONENT_INSTALL OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
