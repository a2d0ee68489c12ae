target_sources(brintale_core PRIVATE
    src/results/results_model.cpp)
target_sources(brintale_ui PRIVATE
    src/results/results_commands.cpp)
