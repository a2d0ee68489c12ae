# libFuzzer targets; clang only. The library under test gets coverage and the sanitizers.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "BRINTALE_FUZZ needs clang (configure with CXX=clang++)")
endif()
set(brintale_fuzz_flags -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
target_compile_options(brintale_core PRIVATE -fsanitize=fuzzer-no-link ${brintale_fuzz_flags})

function(brintale_add_fuzzer name)
    add_executable(${name} ${ARGN})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer ${brintale_fuzz_flags})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer ${brintale_fuzz_flags})
    target_link_libraries(${name} PRIVATE brintale_core)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()

brintale_add_fuzzer(fuzz_splitter fuzz/splitter_fuzz.cpp tests/counting/splitter_reference.cpp)
brintale_add_fuzzer(fuzz_decode_text fuzz/decode_text_fuzz.cpp)
