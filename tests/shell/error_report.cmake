brintale_add_test(NAME test_shell
    SOURCES tests/shell/error_report_test.cpp
            tests/shell/main_window_test.cpp
            tests/shell/shared_procedures_test.cpp
    LIBS brintale_test_support)
