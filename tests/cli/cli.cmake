brintale_add_test(NAME test_cli
    SOURCES tests/cli/cli_test.cpp
    LIBS brintale_test_support)
target_compile_definitions(test_cli PRIVATE
    BRINTALE_COUNT_PATH="$<TARGET_FILE:brintale-count>"
    BRINTALE_VERSION="${PROJECT_VERSION}")
add_dependencies(test_cli brintale-count)
