qm_add_bench(store_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/store_bench.cpp LIBS qm_store)
