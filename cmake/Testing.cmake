include(GoogleTest)

# rq_add_test(<name> SOURCES <files...> LIBS <targets...> [WIDGETS])
# One GoogleTest program per module. WIDGETS tests get a main that starts a
# QApplication on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
function(rq_add_test name)
    cmake_parse_arguments(ARG "WIDGETS" "" "SOURCES;LIBS" ${ARGN})
    add_executable(test_${name} ${ARG_SOURCES})
    target_link_libraries(test_${name} PRIVATE rq_test_support ${ARG_LIBS} GTest::gtest GTest::gmock)
    if(ARG_WIDGETS)
        target_link_libraries(test_${name} PRIVATE rq_widget_test_main)
    else()
        target_link_libraries(test_${name} PRIVATE GTest::gtest_main)
    endif()
    set_target_properties(test_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(TARGET rq_windows_runtime)
        add_dependencies(test_${name} rq_windows_runtime)  # its discovery runs it
    endif()
    rq_strict_warnings(test_${name})
    # Under Wine a program's start can take many seconds on a loaded machine: the cross
    # build lists its tests when CTest runs, not while it builds, and waits longer.
    if(CMAKE_CROSSCOMPILING)
        set(discovery DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300)
    else()
        set(discovery DISCOVERY_TIMEOUT 30)
    endif()
    gtest_discover_tests(test_${name}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        ${discovery})
endfunction()
