target_sources(brintale_core PRIVATE
    src/shell/error_report.cpp)
target_sources(brintale_ui PRIVATE
    src/shell/main_window.cpp
    src/shell/qt_seams.cpp
    src/shell/shared_procedures.cpp
    src/shell/text_box.cpp)
