# The fractal viewer on the real view: its own menu popped up, a zoom point clicked.
tav_add_test(NAME x11_fractal SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_fractal.cpp
             LIBS tav_x11_session tav_kernels tav_buffers LABELS x11 TIMEOUT 600)
add_dependencies(x11_fractal tav)
