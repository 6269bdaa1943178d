# Sanitizer and fuzzing builds.
#
#   -DTARVEX_SANITIZE=address  AddressSanitizer + UndefinedBehaviorSanitizer; the first
#                              report ends the program (-fno-sanitize-recover=all)
#   -DTARVEX_SANITIZE=thread   ThreadSanitizer
#   -DTARVEX_FUZZ=ON           with clang: everything instrumented for libFuzzer coverage
#                              plus ASan and UBSan, and the targets in fuzz/ built
#
# Each belongs in a build directory of its own (build-asan, build-tsan, build-fuzz).
# The flags are set before any folder joins, so every target, the shared adapter
# libraries included, is built with them.
set(TARVEX_SANITIZE "" CACHE STRING "Sanitizer build: empty, address (ASan+UBSan) or thread")
set_property(CACHE TARVEX_SANITIZE PROPERTY STRINGS "" address thread)
option(TARVEX_FUZZ "Build the libFuzzer targets in fuzz/ (clang only)" OFF)

set(_tarvex_asan_ubsan -fsanitize=address,undefined -fno-sanitize-recover=all)

if(TARVEX_SANITIZE STREQUAL "address")
    add_compile_options(${_tarvex_asan_ubsan} -fno-omit-frame-pointer)
    add_link_options(${_tarvex_asan_ubsan})
elseif(TARVEX_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT TARVEX_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TARVEX_SANITIZE must be empty, address or thread, not '${TARVEX_SANITIZE}'")
endif()

set(TARVEX_FUZZ_ACTIVE OFF)
if(TARVEX_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(WARNING "TARVEX_FUZZ needs clang (libFuzzer); fuzz/ is skipped. "
                        "Configure with -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang.")
    elseif(NOT TARVEX_SANITIZE STREQUAL "")
        message(FATAL_ERROR "TARVEX_FUZZ brings its own sanitizers; leave TARVEX_SANITIZE empty")
    else()
        set(TARVEX_FUZZ_ACTIVE ON)
        # Coverage for the fuzzer in every library; only the fuzz targets link its driver
        # (-fsanitize=fuzzer, added in fuzz/).
        add_compile_options(-fsanitize=fuzzer-no-link ${_tarvex_asan_ubsan}
                            -fno-omit-frame-pointer)
        add_link_options(${_tarvex_asan_ubsan})
    endif()
endif()
unset(_tarvex_asan_ubsan)
