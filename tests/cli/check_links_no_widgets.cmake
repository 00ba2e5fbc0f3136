# Reads the dynamic section of velda9-cli and fails when it needs a widget, chart or print library: the
# command line paints its report with QtGui alone and must run where only the core Qt libraries are.
#   cmake -DREADELF=... -DCLI=<velda9-cli> [-DWINDOWS=<velda9>] -P check_links_no_widgets.cmake
# With WINDOWS, the same reading of the window program must find the widget library, which shows that the
# reading sees what a program links.
set(forbidden "libQt6(Widgets|Charts|PrintSupport|OpenGLWidgets)[.]so")

function(needed_libraries program out)
    execute_process(COMMAND ${READELF} -d ${program} OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "readelf -d ${program} failed")
    endif()
    string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${dynamic}")
    set(${out} "${needed}" PARENT_SCOPE)
endfunction()

needed_libraries(${CLI} cli_needed)
if(NOT cli_needed MATCHES "libQt6Gui[.]so")
    message(FATAL_ERROR "velda9-cli does not link QtGui, which paints its report:\n${cli_needed}")
endif()
if(cli_needed MATCHES "${forbidden}")
    message(FATAL_ERROR "velda9-cli links a widget library (${CMAKE_MATCH_0}):\n${cli_needed}")
endif()
if(WINDOWS)
    needed_libraries(${WINDOWS} windows_needed)
    if(NOT windows_needed MATCHES "${forbidden}")
        message(FATAL_ERROR "the check does not see the widget libraries of velda9:\n${windows_needed}")
    endif()
endif()
message(STATUS "velda9-cli needs: ${cli_needed}")
