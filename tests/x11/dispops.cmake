# DISP OPS on the real view: a touched display restored by the real menus.
tav_add_test(NAME x11_dispops SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_dispops.cpp
             LIBS tav_x11_session tav_kernels X11::X11 LABELS x11 TIMEOUT 600)
add_dependencies(x11_dispops tav tav_loaddrv)
