# CONVOLUTION on the real view: SHARPEN 3X3 from the real menus.
tav_add_test(NAME x11_conv SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_conv.cpp
             LIBS tav_x11_session tav_kernels X11::X11 LABELS x11 TIMEOUT 600)
add_dependencies(x11_conv tav tav_loaddrv)
