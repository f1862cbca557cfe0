# Included from the top-level CMakeLists.txt when TELVARIN_FUZZ is ON: the
# whole tree is built with AddressSanitizer and UndefinedBehaviorSanitizer and
# libFuzzer's coverage hooks, and only the fuzz targets and the libraries they
# link are built (no window, no tests).
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer)
set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
check_cxx_source_compiles([[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *, std::size_t) { return 0; }
]] TELVARIN_HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
unset(CMAKE_REQUIRED_FLAGS)
if(NOT TELVARIN_HAVE_LIBFUZZER)
    message(FATAL_ERROR "TELVARIN_FUZZ needs a compiler that links -fsanitize=fuzzer: "
                        "clang with its libFuzzer runtime (Debian: clang libclang-rt-14-dev), "
                        "e.g. -DCMAKE_CXX_COMPILER=clang++")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer -g)
add_link_options(-fsanitize=address,undefined)

foreach(folder IN ITEMS model ui link configfile transfer)
    add_subdirectory(${folder} EXCLUDE_FROM_ALL)
endforeach()
add_subdirectory(fuzz)
