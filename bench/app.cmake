qm_add_bench(app_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_bench.cpp LIBS qm_app)
