# Not a test: the wall time of a pan step on the real X path (Xvfb), run by hand beside the
# memory-view benchmark in bench/. It prints its figure and is never registered with ctest.
add_executable(pan_x11_bench ${CMAKE_CURRENT_LIST_DIR}/pan_x11_bench.cpp)
target_link_libraries(pan_x11_bench PRIVATE tav_x11_session GTest::gtest GTest::gtest_main
                      tav_warnings)
add_dependencies(pan_x11_bench tav)
