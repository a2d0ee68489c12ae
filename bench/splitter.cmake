brintale_add_bench(NAME bench_splitter
    SOURCES bench/splitter_bench.cpp bench/splitter_text.cpp
    LIBS brintale_core ICU::uc ICU::i18n)
