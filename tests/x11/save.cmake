# SAVE IMAGE from the real menus: the file written is read back and compared with the image.
tav_add_test(NAME x11_save SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_save.cpp
             LIBS tav_x11_session PkgConfig::PNG LABELS x11 TIMEOUT 600)
add_dependencies(x11_save tav)
