# The Motif loader window, driven end to end in tav.
tav_add_test(NAME x11_loader SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_loader.cpp
             LIBS tav_xdriver tav_x11_harness X11::Xtst X11::X11 LABELS x11 TIMEOUT 600)
add_dependencies(x11_loader tav)
