add_executable(brintale-count src/cli/main.cpp)
target_link_libraries(brintale-count PRIVATE brintale_core)
