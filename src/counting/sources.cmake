target_sources(brintale_core PRIVATE
    src/counting/splitter.cpp)
target_sources(brintale_ui PRIVATE
    src/counting/counting_command.cpp)
