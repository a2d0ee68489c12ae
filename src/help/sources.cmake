target_sources(brintale_ui PRIVATE
    src/help/help_command.cpp)
