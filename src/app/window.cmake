# The window program.
add_executable(originality main.cpp)
target_link_libraries(originality PRIVATE ui)
