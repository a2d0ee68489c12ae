brintale_add_test(NAME test_splitter
    SOURCES tests/counting/splitter_test.cpp
            tests/counting/splitter_differential_test.cpp
            tests/counting/splitter_reference.cpp
    LIBS brintale_test_support)
