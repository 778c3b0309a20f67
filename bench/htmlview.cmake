qm_add_bench(htmlview_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/htmlview_bench.cpp
    LIBS qm_htmlview Qt6::Widgets Qt6::PrintSupport)
