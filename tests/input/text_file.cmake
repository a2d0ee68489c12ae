brintale_add_test(NAME test_text_file
    SOURCES tests/input/text_file_test.cpp
    LIBS brintale_test_support)
