qm_add_bench(page_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/page_bench.cpp LIBS qm_view)
