brintale_add_test(NAME test_sample_text
    SOURCES tests/input/sample_text_test.cpp
    LIBS brintale_test_support)
