# What `cmake --install` puts where: the program and its command line, its desktop entry,
# icons, AppStream metainfo, man pages and the udev rule. Nothing of the tests, the
# simulator or the demo.
include(GNUInstallDirs)

set(RQ_APP_ID org.rq4720.ConfigTool)
# udev reads rules from /usr/lib/udev/rules.d (and /etc/udev/rules.d), never from
# /usr/local: a local install needs the rule copied by hand (README).
set(RQ_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING "Where the udev rule is installed")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
install(TARGETS rq4720-tool rq4720-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging}/${RQ_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/${RQ_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/icons/rq4720-tool.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${packaging}/icons/rq4720-tool-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME rq4720-tool.png)
endforeach()
# Man pages go out compressed, as Debian's man-db expects them.
find_program(RQ_GZIP gzip REQUIRED)
set(pages)
foreach(page rq4720-tool.1 rq4720-cli.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${RQ_GZIP} -9 -n -c ${packaging}/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
        DEPENDS ${packaging}/${page} VERBATIM)
    list(APPEND pages ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(rq_man_pages ALL DEPENDS ${pages})
install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/70-rq4720.rules DESTINATION ${RQ_UDEV_RULES_DIR})
