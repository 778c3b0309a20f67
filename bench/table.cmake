qm_add_bench(table_bench SOURCES table_bench.cpp LIBS qm_store)
