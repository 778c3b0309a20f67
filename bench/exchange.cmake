qm_add_bench(exchange_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/exchange_bench.cpp LIBS qm_exchange)
