# Support for headless operation tests: a scripted user behind the UI port, a view surface in
# memory, and a view state with one loaded buffer.
add_library(tav_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/uiScript.cpp
            ${CMAKE_CURRENT_LIST_DIR}/memSurface.cpp ${CMAKE_CURRENT_LIST_DIR}/viewBuilder.cpp)
target_include_directories(tav_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tav_test_support PUBLIC tav_view GTest::gtest PRIVATE tav_warnings)
