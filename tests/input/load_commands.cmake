brintale_add_test(NAME test_load_commands
    SOURCES tests/input/load_commands_test.cpp
    LIBS brintale_test_support)
