# TOUCH and RESTORE TOUCHED on a view-sized memory view beside a plain write and read of the
# same bytes through a scratch file.
add_executable(bench_disp ${CMAKE_CURRENT_SOURCE_DIR}/bench_disp.cpp)
target_link_libraries(bench_disp PRIVATE tav_ops tav_input benchmark::benchmark tav_warnings)
