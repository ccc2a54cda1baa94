# The Windows build: the programs with everything they need beside them (Qt's DLLs, the
# platform and style plugins, hidapi, the MinGW runtime), so build-windows/ runs as it is
# and `cmake --install` lays out the same tree for the installer and the portable zip.

# The SDK's folder: Qt6's package lies in <sdk>/lib/cmake/Qt6.
get_filename_component(RQ_QT_SDK "${Qt6_DIR}/../../.." ABSOLUTE)
set(RQ_WINDOWS_RUNTIME
    ${RQ_QT_SDK}/bin/Qt6Core.dll
    ${RQ_QT_SDK}/bin/Qt6Gui.dll
    ${RQ_QT_SDK}/bin/Qt6Widgets.dll
    ${RQ_QT_SDK}/bin/Qt6SerialPort.dll
    ${RQ_QT_SDK}/bin/libhidapi.dll
    ${RQ_QT_SDK}/bin/libstdc++-6.dll
    ${RQ_QT_SDK}/bin/libgcc_s_seh-1.dll
    ${RQ_QT_SDK}/bin/libwinpthread-1.dll)
set(RQ_WINDOWS_PLATFORM_PLUGIN ${RQ_QT_SDK}/plugins/platforms/qwindows.dll)
set(RQ_WINDOWS_STYLE_PLUGIN ${RQ_QT_SDK}/plugins/styles/qwindowsvistastyle.dll)
# The tests' windows need no screen (QT_QPA_PLATFORM=offscreen); not installed.
set(RQ_WINDOWS_TEST_PLUGIN ${RQ_QT_SDK}/plugins/platforms/qoffscreen.dll)

# Copied beside the programs when they are built.
add_custom_target(rq_windows_runtime ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/platforms
            ${CMAKE_BINARY_DIR}/styles
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${RQ_WINDOWS_RUNTIME} ${CMAKE_BINARY_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${RQ_WINDOWS_PLATFORM_PLUGIN}
            ${RQ_WINDOWS_TEST_PLUGIN} ${CMAKE_BINARY_DIR}/platforms
    # Qt looks for plugins beside the program; the tests find the DLLs through WINEPATH.
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tests/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${RQ_WINDOWS_TEST_PLUGIN}
            ${CMAKE_BINARY_DIR}/tests/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${RQ_WINDOWS_STYLE_PLUGIN} ${CMAKE_BINARY_DIR}/styles
    COMMENT "Copying the Qt, hidapi and MinGW DLLs beside the programs")

# A Windows program window of its own: no console opens beside the tool.
set_target_properties(rq4720-tool PROPERTIES WIN32_EXECUTABLE ON)

install(TARGETS rq4720-tool rq4720-cli RUNTIME DESTINATION .)
install(FILES ${RQ_WINDOWS_RUNTIME} DESTINATION .)
install(FILES ${RQ_WINDOWS_PLATFORM_PLUGIN} DESTINATION platforms)
install(FILES ${RQ_WINDOWS_STYLE_PLUGIN} DESTINATION styles)
# The SDK's DLLs carry their debugging symbols; what is shipped goes without them (a third
# of the size). The programs themselves are stripped by CPack (CPACK_STRIP_FILES).
set(shipped_dlls ${RQ_WINDOWS_RUNTIME})
list(TRANSFORM shipped_dlls REPLACE "^.*/" "")
list(APPEND shipped_dlls platforms/qwindows.dll styles/qwindowsvistastyle.dll)
install(CODE "
    foreach(dll ${shipped_dlls})
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${dll}\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()")
