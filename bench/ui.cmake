# The window's responsiveness while four runs of 2,000 segments each fill their grids, beside the
# same runs without a window.
add_executable(ui_bench ${CMAKE_CURRENT_LIST_DIR}/ui_bench.cpp)
set_target_properties(ui_bench PROPERTIES AUTOMOC ON)
target_link_libraries(ui_bench PRIVATE ui PkgConfig::HTTPLIB)
