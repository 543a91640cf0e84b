# The command-line checker: its argument parsing, runs and output formats in a library that tests
# link, and the executable around it. Links the core only, no window toolkit.
find_package(Threads REQUIRED)

add_library(cli_core STATIC
    ${CMAKE_CURRENT_LIST_DIR}/cli_options.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_report.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_run.cpp
)
target_include_directories(cli_core PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(cli_core PUBLIC checks Threads::Threads)

add_executable(originality-cli ${CMAKE_CURRENT_LIST_DIR}/cli_main.cpp)
target_link_libraries(originality-cli PRIVATE cli_core)
