brintale_add_test(NAME test_help_command
    SOURCES tests/help/help_command_test.cpp
    LIBS brintale_test_support)
