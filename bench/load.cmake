brintale_add_bench(NAME bench_load
    SOURCES bench/load_bench.cpp
    LIBS brintale_ui)
