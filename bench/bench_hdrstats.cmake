# Storing an HDR band with both statistics passes, 16-bit and float, beside reading the file,
# OpenCV's calcHist in process and libvips' hist_find as a whole process; whole HDR loads
# through the loader when the test load driver is built in the same tree.
add_executable(bench_hdrstats ${CMAKE_CURRENT_SOURCE_DIR}/bench_hdrstats.cpp)
target_link_libraries(bench_hdrstats PRIVATE tav_input benchmark::benchmark PkgConfig::TIFF
                      tav_warnings)
if(TARGET tav_loaddrv_lib)
    target_link_libraries(bench_hdrstats PRIVATE tav_loaddrv_lib)
    target_compile_definitions(bench_hdrstats PRIVATE TAV_BENCH_LOADDRV)
endif()
