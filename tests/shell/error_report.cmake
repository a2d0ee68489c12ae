brintale_add_test(NAME test_shell
    SOURCES tests/shell/error_report_test.cpp
    LIBS brintale_test_support)
