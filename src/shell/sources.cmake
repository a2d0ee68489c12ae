target_sources(brintale_core PRIVATE
    src/shell/error_report.cpp
    src/shell/file_exists.cpp
    src/shell/settings_store.cpp)
target_sources(brintale_ui PRIVATE
    src/shell/main_window.cpp
    src/shell/qt_seams.cpp
    src/shell/text_box.cpp)
