brintale_add_test(NAME test_counting_command
    SOURCES tests/counting/counting_command_test.cpp
    LIBS brintale_test_support)
