qm_add_bench(ops_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/ops_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/tasks/test_host.cpp LIBS qm_app)
target_include_directories(ops_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/tasks)
