# The generated build-date source: SOURCE_DATE_EPOCH fixes the date (in UTC), and writing the same date
# again leaves the file untouched, so a rebuild on the same day recompiles nothing.
#   cmake -DSCRIPT=<WriteBuildDate.cmake> -DWORK=<folder> -P check_build_date.cmake
set(out ${WORK}/BuildDate.cpp)
file(REMOVE ${out})

function(write_date epoch)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch} TZ=Pacific/Kiritimati
                            ${CMAKE_COMMAND} -DOUTPUT=${out} -P ${SCRIPT}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "WriteBuildDate.cmake failed")
    endif()
endfunction()

# 1700000000 is 14 Nov 2023 22:13:20 UTC, already the 15th at UTC+14: the date must not depend on the zone.
foreach(case "1700000000;14.11.2023" "0;01.01.1970" "951782400;29.02.2000")
    list(GET case 0 epoch)
    list(GET case 1 expected)
    write_date(${epoch})
    file(READ ${out} text)
    if(NOT text MATCHES "return \"${expected}\";")
        message(FATAL_ERROR "SOURCE_DATE_EPOCH=${epoch}: expected ${expected} in\n${text}")
    endif()
endforeach()

file(TIMESTAMP ${out} before "%s")
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
write_date(951782400)
file(TIMESTAMP ${out} after "%s")
if(NOT before STREQUAL after)
    message(FATAL_ERROR "the unchanged build date was written again (${before} -> ${after})")
endif()
