# Sanitizer builds: VELDA_SANITIZE=asan-ubsan, tsan or fuzz instruments every target of the build. fuzz
# adds libFuzzer's coverage hooks to ASan + UBSan; the fuzz programs link the fuzzer's main themselves.
if(VELDA_SANITIZE STREQUAL "asan-ubsan")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(VELDA_SANITIZE STREQUAL "tsan")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(VELDA_SANITIZE STREQUAL "fuzz")
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(NOT VELDA_SANITIZE STREQUAL "")
    message(FATAL_ERROR "VELDA_SANITIZE must be empty, asan-ubsan, tsan or fuzz")
endif()
