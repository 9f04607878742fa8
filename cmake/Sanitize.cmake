# CORVANE_SANITIZE builds our own code (libraries, program, tests) with AddressSanitizer and
# UndefinedBehaviorSanitizer. Any finding ends the process, so a finding fails its test.
# Qt itself stays uninstrumented; only what we compile is checked.
option(CORVANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(CORVANE_SANITIZE)
    if(MSVC)
        message(FATAL_ERROR "CORVANE_SANITIZE needs GCC or Clang")
    endif()
    set(corvane_sanitize_flags -fsanitize=address,undefined -fno-omit-frame-pointer
                               -fno-sanitize-recover=all)
    target_compile_options(corvane_options INTERFACE ${corvane_sanitize_flags})
    target_link_options(corvane_options INTERFACE -fsanitize=address,undefined)
endif()

# CORVANE_FUZZ (Clang only) makes the targets in fuzz/ libFuzzer programs: our code gets the
# fuzzer's coverage hooks besides both sanitizers, and each program is also run briefly over its
# seed corpus as a test. Without it the same targets replay their corpus once as plain tests.
option(CORVANE_FUZZ "Build the fuzz targets with libFuzzer (Clang)" OFF)

if(CORVANE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "CORVANE_FUZZ needs Clang: configure with CXX=clang++-14")
    endif()
    target_compile_options(corvane_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                     -fno-omit-frame-pointer
                                                     -fno-sanitize-recover=all)
    target_link_options(corvane_options INTERFACE -fsanitize=address,undefined)
endif()
