brintale_add_bench(NAME bench_export
    SOURCES bench/export_bench.cpp
    LIBS brintale_ui)
