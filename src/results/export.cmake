target_sources(brintale_ui PRIVATE
    src/results/clipboard.cpp
    src/results/spreadsheet_backend.cpp
    src/results/spreadsheet_export.cpp
    src/results/text_export.cpp)
