add_executable(brintale-count src/cli/main.cpp)
target_link_libraries(brintale-count PRIVATE brintale_core)
target_compile_definitions(brintale-count PRIVATE BRINTALE_VERSION="${PROJECT_VERSION}")
