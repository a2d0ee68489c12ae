target_sources(brintale_ui PRIVATE
    src/abbreviations/abbreviation_window.cpp)
