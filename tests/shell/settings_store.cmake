brintale_add_test(NAME test_settings_store
    SOURCES tests/shell/settings_store_test.cpp
    LIBS brintale_test_support)
