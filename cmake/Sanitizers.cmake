# RQ_SANITIZE: every target built with AddressSanitizer and UndefinedBehaviorSanitizer
# (`make test-asan`). RQ_BUILD_FUZZ: clang's libFuzzer coverage on every target and
# the fuzz targets linked with libFuzzer (`make fuzz`).
option(RQ_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(RQ_BUILD_FUZZ "Build the fuzz targets with libFuzzer (clang only)" OFF)

if(RQ_BUILD_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "RQ_BUILD_FUZZ needs clang (CXX=clang++)")
endif()

set(RQ_SANITIZER_FLAGS)
if(RQ_SANITIZE OR RQ_BUILD_FUZZ)
    # Any undefined behaviour stops the program, so a test cannot pass over it.
    list(APPEND RQ_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
         -fno-omit-frame-pointer)
endif()
if(RQ_BUILD_FUZZ)
    list(APPEND RQ_SANITIZER_FLAGS -fsanitize=fuzzer-no-link)
endif()
if(RQ_SANITIZER_FLAGS)
    add_compile_options(${RQ_SANITIZER_FLAGS})
    add_link_options(${RQ_SANITIZER_FLAGS})
endif()
