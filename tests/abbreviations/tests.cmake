# brintale_add_test(NAME ... SOURCES ... LIBS ...)
