brintale_add_test(NAME test_results_list
    SOURCES tests/results/results_model_test.cpp
            tests/results/results_commands_test.cpp
    LIBS brintale_test_support)
