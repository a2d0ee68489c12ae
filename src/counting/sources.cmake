target_sources(brintale_ui PRIVATE
    src/counting/counting_command.cpp)
