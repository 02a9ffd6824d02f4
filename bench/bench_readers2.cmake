# Load throughput of the WebP, AVIF and FITS readers on the seeded plasma picture, beside each
# library's own decode of the whole picture and ImageMagick as a whole process on one thread;
# whole FITS loads through the loader when the test load driver is built in the same tree.
add_executable(bench_readers2 ${CMAKE_CURRENT_SOURCE_DIR}/bench_readers2.cpp)
target_link_libraries(bench_readers2 PRIVATE tav_input benchmark::benchmark PkgConfig::CFITSIO
                      PkgConfig::WEBP PkgConfig::AVIF tav_warnings)
if(TARGET tav_loaddrv_lib)
    target_link_libraries(bench_readers2 PRIVATE tav_loaddrv_lib)
    target_compile_definitions(bench_readers2 PRIVATE TAV_BENCH_LOADDRV)
endif()
