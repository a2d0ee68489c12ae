target_sources(brintale_core PRIVATE
    src/counting/splitter.cpp
    src/counting/abbreviation_masking.cpp
    src/counting/sentence_scan.cpp)
