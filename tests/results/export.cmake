brintale_add_test(NAME test_results_text
    SOURCES tests/results/text_export_test.cpp
    LIBS brintale_test_support)
brintale_add_test(NAME test_results_spreadsheet
    SOURCES tests/results/spreadsheet_export_test.cpp tests/results/spreadsheet_backend_test.cpp
    LIBS brintale_test_support)
