target_sources(brintale_core PRIVATE
    src/counting/splitter.cpp)
