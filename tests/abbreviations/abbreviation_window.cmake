brintale_add_test(NAME test_abbreviation_window
    SOURCES tests/abbreviations/abbreviation_window_test.cpp
    LIBS brintale_test_support)
