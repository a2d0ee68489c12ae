target_sources(brintale_core PRIVATE
    src/shell/file_exists.cpp
    src/shell/settings_store.cpp)
