# Warning sets, linked PRIVATE so that they never reach Qt, GoogleTest or Google Benchmark.
option(TAMBREL_WERROR "Treat warnings as errors" OFF)

add_library(tambrel_warnings INTERFACE)
add_library(tambrel::warnings ALIAS tambrel_warnings)
target_compile_options(tambrel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor
    -Woverloaded-virtual -Wimplicit-fallthrough
    $<$<BOOL:${TAMBREL_WERROR}>:-Werror>)

# The plain folders hold one-byte bells and 16-bit counts, where a silent narrowing is a real bug.
add_library(tambrel_strict_warnings INTERFACE)
add_library(tambrel::strict_warnings ALIAS tambrel_strict_warnings)
target_link_libraries(tambrel_strict_warnings INTERFACE tambrel_warnings)
target_compile_options(tambrel_strict_warnings INTERFACE -Wconversion -Wsign-conversion)
