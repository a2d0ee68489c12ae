target_sources(brintale_ui PRIVATE
    src/input/load_commands.cpp)
