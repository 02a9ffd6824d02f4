# PIXEL OPS on the real view: an operation's rows read from and written back to the window.
tav_add_test(NAME x11_pixops SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_pixops.cpp
             LIBS tav_x11_session tav_kernels X11::X11 LABELS x11 TIMEOUT 600)
add_dependencies(x11_pixops tav tav_loaddrv)
