# Text core: preparation, segmenting, splitting, search, replacement and width conversion of a
# 10 MB article, each beside a single pass over the same buffer.
add_executable(text_bench ${CMAKE_CURRENT_LIST_DIR}/text_bench.cpp)
target_link_libraries(text_bench PRIVATE text benchmark::benchmark)
