# LUT OPS on the real view: the tables shown through the X transfer, and the middle button.
tav_add_test(NAME x11_lutops SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lutops.cpp
             LIBS tav_x11_session tav_kernels X11::X11 LABELS x11 TIMEOUT 600)
add_dependencies(x11_lutops tav tav_loaddrv)
