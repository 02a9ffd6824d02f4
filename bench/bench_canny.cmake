# The Canny core per gun at the defaults and at the longest filter beside cv2.Canny and libvips'
# canny, and the MSRCR run beside numpy with cv2.GaussianBlur and a libvips gaussblur chain.
add_executable(bench_canny ${CMAKE_CURRENT_SOURCE_DIR}/bench_canny.cpp)
target_link_libraries(bench_canny PRIVATE tav_kernels tav_input benchmark::benchmark tav_warnings)
target_compile_definitions(bench_canny PRIVATE
                           TAV_CANNY_PEERS="${CMAKE_CURRENT_SOURCE_DIR}/canny_peers.py"
                           TAV_MSRCR_VIPS="${CMAKE_CURRENT_SOURCE_DIR}/msrcr_vips.sh")
