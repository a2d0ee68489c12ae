target_sources(brintale_core PRIVATE
    src/input/sample_text.cpp
    src/input/text_file.cpp)
