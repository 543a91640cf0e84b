# Engine checks: a run of 2,000 segments against a local server beside a bare libcurl loop, and
# highlight extraction over normal and hostile 2 MB pages beside a plain find scan.
if(TARGET checks)
    add_executable(check_run_bench ${CMAKE_CURRENT_LIST_DIR}/check_run_bench.cpp)
    target_link_libraries(check_run_bench PRIVATE checks PkgConfig::HTTPLIB CURL::libcurl)
endif()
