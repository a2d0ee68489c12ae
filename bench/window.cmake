brintale_add_bench(NAME bench_window
    SOURCES bench/window_bench.cpp
    LIBS brintale_ui)
