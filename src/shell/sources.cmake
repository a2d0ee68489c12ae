target_sources(brintale_core PRIVATE
    src/shell/error_report.cpp)
target_sources(brintale_ui PRIVATE
    src/shell/cursor_file.cpp
    src/shell/main_window.cpp
    src/shell/qt_seams.cpp
    src/shell/shared_procedures.cpp
    src/shell/skin.cpp
    src/shell/text_box.cpp
    resources/icon.qrc)
