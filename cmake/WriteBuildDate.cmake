# Writes the source file that holds the build date: cmake -DOUTPUT=<file.cpp> -P WriteBuildDate.cmake.
# Run at every build; the file is rewritten only when the date changed, so only it is recompiled and the
# programs relinked. With SOURCE_DATE_EPOCH set (reproducible package builds) that moment is the build
# date, taken in UTC so the build machine's time zone does not change the bytes.
if(NOT OUTPUT)
    message(FATAL_ERROR "WriteBuildDate.cmake: pass -DOUTPUT=<file>")
endif()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP date "%d.%m.%Y" UTC)
else()
    string(TIMESTAMP date "%d.%m.%Y")
endif()
set(content "// Generated at build time by cmake/WriteBuildDate.cmake; do not edit.
#include \"base/BuildDate.h\"

namespace velda {

const char *BuildDateText() {
    return \"${date}\";
}

} // namespace velda
")
set(old "")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL content)
    file(WRITE ${OUTPUT} "${content}")
endif()
